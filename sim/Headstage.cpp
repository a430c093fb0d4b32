#include "sim/Headstage.h"

namespace tolmaren_sim {

namespace {
constexpr uint8_t nrst = 0x10;
constexpr uint8_t allTest8Checks = 0x07;
constexpr uint8_t patternCheck = 0x04; // flag 2, variant a only
constexpr int recordingMode = 3;
} // namespace

Headstage::Headstage(ProbeAsic& asic, EepromController& eeprom, const Faults& faults, uint8_t id0,
                     uint8_t id1)
    : asic_(asic), eeprom_(eeprom), faults_(faults), id0_(id0), id1_(id1) {
    registers_[test8FlagRegister] = allTest8Checks; // nothing checked yet
}

uint8_t Headstage::read(uint8_t reg) const {
    if (reg == 0x00) return id0_;
    if (reg == 0x01) return id1_;
    if (reg >= EepromController::firstRegister && reg <= EepromController::lastRegister)
        return eeprom_.read(reg);
    if (reg == test8FlagRegister) return test8Flags();
    return registers_[reg];
}

bool Headstage::test8Running() const {
    return bistReceive() && (registers_[digitalControl2] & nrst) && asic_.mode() == recordingMode;
}

uint8_t Headstage::test8Flags() const {
    const uint8_t stored = registers_[test8FlagRegister];
    if (!test8Running()) return stored;
    const uint8_t checked = testEnable() ? allTest8Checks : allTest8Checks & ~patternCheck;
    const unsigned int selection = (registers_[digitalControl1] >> 5) & 3;
    const bool hit = !faults_.test8Selection || *faults_.test8Selection == selection;
    const uint8_t failing = hit ? faults_.test8ErrorFlags & checked : 0;
    return static_cast<uint8_t>((stored & ~checked) | failing);
}

void Headstage::write(uint8_t reg, uint8_t value) {
    if (reg >= EepromController::firstRegister && reg <= EepromController::lastRegister) {
        eeprom_.write(reg, value);
        return;
    }
    // What a running test 8 found so far stays when its conditions change.
    if (reg == digitalControl1 || reg == digitalControl2 || reg == test8FlagRegister)
        registers_[test8FlagRegister] = test8Flags();
    switch (reg) {
    case 0x00:
    case 0x01:
        return;
    case digitalControl2:
        // The ASIC samples MODE when NRST rises.
        if (!(registers_[reg] & nrst) && (value & nrst)) asic_.setMode(value >> 6);
        registers_[reg] = value;
        return;
    case test8FlagRegister:
        registers_[reg] = value & allTest8Checks;
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
