#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/Faults.h"
#include "sim/Headstage.h"
#include "sim/SerdesDevice.h"

namespace tolmaren_sim {

// The basestation's bridge to the serial link (block t_vci2uart).
// Command transactions arrive word by word on tx_data: 0x79, device, register,
// count and, for a write, count 16-bit values. The addressed device answers
// with the acknowledge 0xC3 and, for a read, count bytes, all queued in the
// receive FIFO (rx_count / rx_data). Several values or bytes address
// consecutive registers, except the headstage's shift ports 0x51 and 0x52.
// The accelerated ports bypass the command protocol: tx_accel words go to the
// headstage's shift port, captured bytes wait in the shift FIFO for rx_accel.
// Error flags (clear on read): bit 1 a malformed command, bit 2 a FIFO
// overflow, bit 3 a failed accelerated transfer; bit 0 is only injected.
class UartBridge {
public:
    static constexpr uint32_t commandMarker = 0x79;
    static constexpr uint8_t acknowledge = 0xC3;
    static constexpr uint8_t headstageDevice = 0x40;
    static constexpr uint8_t serializerDevice = 0x80;
    static constexpr uint8_t deserializerDevice = 0x90;
    static constexpr uint32_t flagMalformed = 0x2;
    static constexpr uint32_t flagOverflow = 0x4;
    static constexpr uint32_t flagAccelerated = 0x8;
    static constexpr std::size_t fifoCapacity = 1 << 17;

    UartBridge(Headstage& headstage, SerdesDevice& serializer, SerdesDevice& deserializer,
               const Faults& faults);

    void writeTx(uint32_t word);
    void writeAccelerated(uint32_t word);
    // Next received byte, 0 when the FIFO is empty.
    uint8_t popReceived();
    uint8_t peekReceived() const { return received_.empty() ? 0 : received_.front(); }
    std::size_t receivedCount() const { return received_.size(); }
    // Next captured shift byte; an empty FIFO gives 0 and error flag bit 3.
    uint8_t popShifted();
    uint8_t peekShifted() const { return shifted_.empty() ? 0 : shifted_.front(); }
    std::size_t shiftedCount() const { return shifted_.size(); }
    uint32_t takeFlags();
    uint32_t flags() const { return flags_; }
    uint64_t transactions() const { return transactions_; }
    // Empties the FIFOs, drops a partial command and clears the flags.
    void reset();
    void restartFaultCounts() { faultMatches_.assign(faults_.uartFaults.size(), 0); }

private:
    void execute();
    bool deviceAnswers(uint8_t device) const;
    // The targeted fault that fails the command collected, if any; counts the
    // command against every fault it matches.
    const UartFault* targetedFault();
    std::vector<uint8_t> writeDevice(uint8_t device, uint8_t reg, std::size_t count);
    std::vector<uint8_t> readDevice(uint8_t device, uint8_t reg, std::size_t count);
    void shiftToHeadstage(uint16_t word);
    void queue(std::deque<uint8_t>& fifo, uint8_t byte);

    Headstage& headstage_;
    SerdesDevice& serializer_;
    SerdesDevice& deserializer_;
    const Faults& faults_;
    std::vector<uint32_t> command_;
    std::deque<uint8_t> received_;
    std::deque<uint8_t> shifted_;
    uint32_t flags_ = 0;
    uint64_t transactions_ = 0;
    std::vector<unsigned int> faultMatches_; // per targeted fault
};

} // namespace tolmaren_sim
