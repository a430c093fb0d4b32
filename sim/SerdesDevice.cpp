#include "sim/SerdesDevice.h"

namespace tolmaren_sim {

SerdesDevice::SerdesDevice(const Faults& faults, bool deserializer)
    : faults_(faults), deserializer_(deserializer) {
    registers_[modeRegister] = normalMode;
}

uint8_t SerdesDevice::read(uint8_t reg) const {
    // While the check runs the count is live; afterwards it stays latched.
    if (deserializer_ && reg == prbsCountRegister && prbsRunning()) return faults_.prbsErrors;
    return registers_[reg];
}

void SerdesDevice::write(uint8_t reg, uint8_t value) {
    if (deserializer_ && reg == modeRegister) {
        if (!prbsRunning() && value == prbsMode)
            registers_[prbsCountRegister] = 0;
        else if (prbsRunning() && value != prbsMode)
            registers_[prbsCountRegister] = faults_.prbsErrors;
    }
    if (deserializer_ && reg == prbsCountRegister) return; // the count is read-only
    registers_[reg] = value;
}

} // namespace tolmaren_sim
