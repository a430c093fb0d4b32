#include "sim/SerdesDevice.h"

namespace tolmaren_sim {

SerdesDevice::SerdesDevice(const Faults& faults, bool deserializer, SerdesDevice* receiver)
    : faults_(faults), deserializer_(deserializer), receiver_(receiver) {
    registers_[modeRegister] = normalMode;
}

uint8_t SerdesDevice::read(uint8_t reg) const {
    // While the check runs the count is live; afterwards it stays latched.
    if (deserializer_ && reg == prbsCountRegister && prbsRunning()) return checkErrors();
    return registers_[reg];
}

void SerdesDevice::write(uint8_t reg, uint8_t value) {
    if (reg == modeRegister && receiver_ != nullptr) receiver_->incomingPrbs(value == prbsMode);
    if (deserializer_ && reg == modeRegister) {
        if (!prbsRunning() && value == prbsMode) {
            registers_[prbsCountRegister] = 0;
            sequenceSeen_ = incomingPrbs_;
        } else if (prbsRunning() && value != prbsMode) {
            registers_[prbsCountRegister] = checkErrors();
        }
    }
    if (deserializer_ && reg == prbsCountRegister) return; // the count is read-only
    registers_[reg] = value;
}

void SerdesDevice::incomingPrbs(bool sending) {
    incomingPrbs_ = sending;
    if (sending && prbsRunning()) sequenceSeen_ = true;
}

} // namespace tolmaren_sim
