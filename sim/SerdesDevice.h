#pragma once

#include <array>
#include <cstdint>

#include "sim/Faults.h"

namespace tolmaren_sim {

// The serializer (device 0x80) or deserializer (device 0x90) of the serial
// link: 256 byte registers. Register 4 holds 0x87 in normal operation and
// 0xA7 while a PRBS check runs; register 7 the link setting. On the
// deserializer, register 0x13 counts the PRBS errors of the last run.
class SerdesDevice {
public:
    static constexpr uint8_t modeRegister = 0x04;
    static constexpr uint8_t linkRegister = 0x07;
    static constexpr uint8_t prbsCountRegister = 0x13;
    static constexpr uint8_t normalMode = 0x87;
    static constexpr uint8_t prbsMode = 0xA7;

    SerdesDevice(const Faults& faults, bool deserializer);

    uint8_t read(uint8_t reg) const;
    void write(uint8_t reg, uint8_t value);

private:
    bool prbsRunning() const { return registers_[modeRegister] == prbsMode; }

    const Faults& faults_;
    const bool deserializer_;
    std::array<uint8_t, 256> registers_{};
};

} // namespace tolmaren_sim
