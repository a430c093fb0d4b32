#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/EepromController.h"
#include "sim/Faults.h"
#include "sim/ProbeAsic.h"

namespace tolmaren_sim {

// The headstage (serial-link device 0x40): its byte registers, the shift
// ports of the probe's configuration chains and the EEPROM controller.
//   0x00, 0x01  identification (read-only)
//   0x10        digital control 1: heartbeat, ND_ENABLE, BIST tx/rx, TE, test 8 selection
//   0x11        digital control 2: reset (bit 0), NRST (4), PR_NRST (5), MODE (7..6);
//               the ASIC takes MODE when NRST rises
//   0x31        test 8 error flags, bits 2..0 (see test8Flags())
//   0x40..0x43  signal generator
//   0x50        chain select; 0x51 shift data in; 0x52 shift data out
//   0x60..0x67  EEPROM controller
// Every other register holds what was last written.
class Headstage {
public:
    static constexpr uint8_t digitalControl1 = 0x10;
    static constexpr uint8_t digitalControl2 = 0x11;
    static constexpr uint8_t test8FlagRegister = 0x31;
    static constexpr uint8_t chainSelect = 0x50;
    static constexpr uint8_t shiftIn = 0x51;
    static constexpr uint8_t shiftOut = 0x52;

    Headstage(ProbeAsic& asic, EepromController& eeprom, const Faults& faults, uint8_t id0,
              uint8_t id1);

    uint8_t read(uint8_t reg) const;
    void write(uint8_t reg, uint8_t value);
    // One 16-bit word for the shift port: its low eight bits go into the
    // selected chain; with the capture flag (bit 8) the byte of bits that
    // left the chain is returned.
    std::optional<uint8_t> shiftWord(uint16_t word);

    bool bistTransmit() const { return registers_[digitalControl1] & 0x04; }
    bool bistReceive() const { return registers_[digitalControl1] & 0x08; }
    bool testEnable() const { return registers_[digitalControl1] & 0x10; }
    int asicMode() const { return asic_.mode(); }

private:
    // Test 8 checks the ASIC's output while the BIST receiver is on and the
    // ASIC records (mode 3, NRST high). Each flag of register 0x31 stands for
    // a check not (yet) passed: the host sets all three when it starts, a
    // running test clears those of its checks that pass, and the flags keep
    // their state once it stops. Variant b (TE clear) does not run the
    // pattern check of flag 2, and the injected failures hit only runs of
    // their pattern selection (bits 6..5 of register 0x10) when one is given.
    bool test8Running() const;
    uint8_t test8Flags() const;

    ProbeAsic& asic_;
    EepromController& eeprom_;
    const Faults& faults_;
    const uint8_t id0_;
    const uint8_t id1_;
    std::array<uint8_t, 256> registers_{};
};

} // namespace tolmaren_sim
