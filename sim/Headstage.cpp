#include "sim/Headstage.h"

namespace tolmaren_sim {

namespace {
constexpr uint8_t nrst = 0x10;
constexpr uint8_t bistReceiveBit = 0x08;
} // namespace

Headstage::Headstage(ProbeAsic& asic, EepromController& eeprom, const Faults& faults, uint8_t id0,
                     uint8_t id1)
    : asic_(asic), eeprom_(eeprom), faults_(faults), id0_(id0), id1_(id1) {}

uint8_t Headstage::read(uint8_t reg) const {
    if (reg == 0x00) return id0_;
    if (reg == 0x01) return id1_;
    if (reg >= EepromController::firstRegister && reg <= EepromController::lastRegister)
        return eeprom_.read(reg);
    return registers_[reg];
}

void Headstage::write(uint8_t reg, uint8_t value) {
    if (reg >= EepromController::firstRegister && reg <= EepromController::lastRegister) {
        eeprom_.write(reg, value);
        return;
    }
    switch (reg) {
    case 0x00:
    case 0x01:
        return;
    case digitalControl1:
        // Test 8 errors show up as soon as the BIST receiver is switched on.
        if (!(registers_[reg] & bistReceiveBit) && (value & bistReceiveBit))
            registers_[test8Flags] |= faults_.test8ErrorFlags & 0x07;
        registers_[reg] = value;
        return;
    case digitalControl2:
        // The ASIC samples MODE when NRST rises.
        if (!(registers_[reg] & nrst) && (value & nrst)) asic_.setMode(value >> 6);
        registers_[reg] = value;
        return;
    case test8Flags:
        registers_[reg] &= static_cast<uint8_t>(~value);
        return;
    default:
        registers_[reg] = value;
        return;
    }
}

std::optional<uint8_t> Headstage::shiftWord(uint16_t word) {
    const uint8_t out = asic_.shiftByte(registers_[chainSelect], static_cast<uint8_t>(word));
    if (word & 0x100) return out;
    return std::nullopt;
}

} // namespace tolmaren_sim
