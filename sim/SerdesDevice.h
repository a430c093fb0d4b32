#pragma once

#include <array>
#include <cstdint>

#include "sim/Faults.h"

namespace tolmaren_sim {

// The serializer (device 0x80) or deserializer (device 0x90) of the serial
// link: 256 byte registers. Register 4 holds 0x87 in normal operation and
// 0xA7 in the PRBS test: the serializer then sends the pseudo-random
// sequence, the deserializer checks what arrives against it. On the
// deserializer, register 0x13 counts the errors of the last check.
class SerdesDevice {
public:
    static constexpr uint8_t modeRegister = 0x04;
    static constexpr uint8_t linkRegister = 0x07;
    static constexpr uint8_t prbsCountRegister = 0x13;
    static constexpr uint8_t normalMode = 0x87;
    static constexpr uint8_t prbsMode = 0xA7;
    // What a check counts when the sequence never arrived: every bit wrong,
    // the counter saturated.
    static constexpr uint8_t saturatedCount = 0xFF;

    // A serializer is given the deserializer at the far end of its link.
    SerdesDevice(const Faults& faults, bool deserializer, SerdesDevice* receiver = nullptr);

    uint8_t read(uint8_t reg) const;
    void write(uint8_t reg, uint8_t value);

private:
    bool prbsRunning() const { return registers_[modeRegister] == prbsMode; }
    // Deserializer: the serializer starts or stops sending the sequence.
    void incomingPrbs(bool sending);
    // The count of the check under way: the injected errors once the
    // sequence has arrived, else saturated.
    uint8_t checkErrors() const { return sequenceSeen_ ? faults_.prbsErrors : saturatedCount; }

    const Faults& faults_;
    const bool deserializer_;
    SerdesDevice* const receiver_;
    std::array<uint8_t, 256> registers_{};
    bool incomingPrbs_ = false;
    bool sequenceSeen_ = false; // during the current check
};

} // namespace tolmaren_sim
