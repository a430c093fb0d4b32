#include "sim/BasestationRegisters.h"

namespace tolmaren_sim {

namespace {
constexpr uint32_t spaceEnd = 0x2F18;
constexpr uint32_t blankText = 0x20202020;

bool within(uint32_t address, uint32_t first, uint32_t end) {
    return address >= first && address < end;
}
} // namespace

BasestationRegisters::BasestationRegisters(const SimulatorOptions& options, UartBridge& bridge,
                                           const Headstage& headstage, const Faults& faults,
                                           TriggerLine& line)
    : options_(options), bridge_(bridge), headstage_(headstage), faults_(faults), line_(line),
      words_(spaceEnd / 4, 0), temperatureCode_(options.temperatureCode),
      memoryTest_(std::chrono::milliseconds(options.memoryTestMs)) {
    words_[datamode / 4] = 1;
    words_[supply / 4] = 1;
    for (uint32_t a = lcdText0; a < lcdText0 + 32; a += 4)
        words_[a / 4] = blankText;
    for (unsigned int i = 0; i < scaleCount; ++i)
        words_[scale / 4 + i] = 512;
}

bool BasestationRegisters::mapped(uint32_t address) {
    if (address % 4 != 0) return false;
    return (within(address, 0x0000, 0x1014) && address != 0x0014) ||
           within(address, 0x1014, 0x1068) || within(address, 0x1080, 0x108C) || address == leds ||
           within(address, 0x1100, 0x11B0) || within(address, 0x1200, 0x1284) ||
           within(address, scale, spaceEnd);
}

uint32_t BasestationRegisters::read(uint32_t address, Clock::time_point now) {
    if (!mapped(address)) return 0;
    advanceCounters(now);
    switch (address) {
    case rxData:
        return bridge_.popReceived();
    case uartFlags:
        return bridge_.takeFlags();
    case rxAccel:
        return bridge_.popShifted();
    default:
        return current(address, now);
    }
}

uint32_t BasestationRegisters::peek(uint32_t address) const {
    if (!mapped(address)) return 0;
    switch (address) {
    case rxData:
        return bridge_.peekReceived();
    case uartFlags:
        return bridge_.flags();
    case rxAccel:
        return bridge_.peekShifted();
    default:
        return current(address, Clock::now());
    }
}

uint32_t BasestationRegisters::current(uint32_t address, Clock::time_point now) const {
    switch (address) {
    case fpgaMajor:
        return options_.fpgaVersionMajor;
    case fpgaMinor:
        return options_.fpgaVersionMinor;
    case temperature:
        return temperatureCode_;
    case bsVersion:
        return options_.bsVersion;
    case bsRevision:
        return options_.bsRevision;
    case txData:
    case txAccel:
        return 0; // write-only ports
    case rxCount:
        return static_cast<uint32_t>(bridge_.receivedCount());
    case shiftFifo:
        return static_cast<uint32_t>(bridge_.shiftedCount());
    case dmaError:
        return faults_.dmaError | (dmaOverflow_ ? 1u : 0u);
    case dramTestBusy:
        return memoryTest_.busy(now) ? 1 : 0;
    case dramTestError:
        return memoryTest_.failed(now, faults_.memoryTestError) ? 1 : 0;
    case fifoFilling:
        return fifoFilling_;
    case leds:
        return words_[address / 4] & ~faults_.deadLeds;
    case test7ErrorMask:
        return counters_.test7Checked() ? faults_.test7ErrorMask : 0;
    case test7ErrorCounter:
        return counters_.test7Checked() ? faults_.test7ErrorCount : 0;
    case test7TotalChecked:
        return counters_.test7Checked();
    default:
        break;
    }
    if (within(address, test9Result0, test9Result8 + 4)) {
        const unsigned int k = (address - test9Result0) / 4;
        if (k == 1 || k == 3) return counters_.test9aReceived();
        if (k == 8) return counters_.test9bReceived();
        if (k == 0) return faults_.test9Errors[0] + counters_.test9Mismatched();
        return faults_.test9Errors[k];
    }
    return words_[address / 4];
}

void BasestationRegisters::write(uint32_t address, uint32_t value, Clock::time_point now) {
    if (!mapped(address)) return;
    advanceCounters(now);
    uint32_t& stored = words_[address / 4];
    switch (address) {
    case fpgaMajor:
    case fpgaMinor:
    case temperature:
    case bsVersion:
    case bsRevision:
    case rxData:
    case rxCount:
    case uartFlags:
    case rxAccel:
    case shiftFifo:
    case dmaError:
    case dramTestBusy:
    case dramTestError:
    case fifoFilling:
    case test7ErrorMask:
    case test7ErrorCounter:
    case test7TotalChecked:
        return; // read-only
    case txData:
        bridge_.writeTx(value);
        return;
    case txAccel:
        bridge_.writeAccelerated(value);
        return;
    case reset:
        if (value != 0) resetBasestation();
        break;
    case dramTestStart:
        // The test starts when the start register toggles.
        if ((value != 0) != (stored != 0)) memoryTest_.start(now);
        break;
    case neuralStart:
        if (value != 0 && stored == 0) {
            counters_.restartTest9();
            // A basestation that waits for an external start never drives
            // the line, so that triggers cannot loop.
            if (words_[startTriggerOutputEnable / 4] != 0 && words_[syncExtStart / 4] == 0)
                ++softwareStarts_;
        }
        break;
    case syncExtStart:
        if (value != 0 && stored == 0) armedMark_ = line_.mark();
        break;
    case datamode:
        if ((value != 0) != (stored != 0)) armedMark_ = line_.mark();
        break;
    case test9Select:
        // Variant 9a starts here, after neural_start: what was counted in
        // between belongs to variant 9b. Clearing the select keeps the results.
        if (value != 0) counters_.restartTest9();
        break;
    case datapathReset:
        if (value != 0) {
            ++datapathResets_;
            dmaOverflow_ = false;
            armedMark_ = line_.mark();
        }
        break;
    case test7Enable:
        if (value != 0) counters_.restartTest7();
        break;
    case lcdText7:
        // The host writes the display's registers in order; this one ends a write.
        stored = value;
        if (displayHistory_.size() == displayHistoryLength) displayHistory_.pop_front();
        displayHistory_.push_back(displayLines());
        return;
    default:
        if (within(address, test9Result0, test9Result8 + 4)) return; // read-only
        break;
    }
    stored = value;
}

void BasestationRegisters::advanceCounters(Clock::time_point now) {
    // The words of one request share its time.
    if (now == counters_.countedUntil()) return;
    BistCounters::Conditions conditions;
    conditions.test7Running = words_[test7Enable / 4] != 0 && headstage_.bistTransmit();
    // The probe streams as the data port has it: not in configuration mode,
    // datapath out of reset.
    const bool streaming = headstage_.asicMode() != 0 && words_[datapathReset / 4] == 0;
    conditions.dataRunning = words_[neuralStart / 4] != 0 && streaming;
    conditions.variantA = words_[test9Select / 4] != 0;
    conditions.testPattern = headstage_.testEnable();
    counters_.advance(now, conditions);
}

void BasestationRegisters::resetBasestation() {
    bridge_.reset();
    memoryTest_.reset();
    counters_.reset();
}

std::array<std::string, 2> BasestationRegisters::displayLines() const {
    std::array<std::string, 2> lines;
    for (unsigned int line = 0; line < 2; ++line) {
        // lcd_text0 holds the last four characters of line 1, lcd_text3 the first.
        for (int group = 3; group >= 0; --group) {
            const uint32_t word = words_[(lcdText0 / 4) + line * 4 + static_cast<unsigned>(group)];
            for (int shift = 24; shift >= 0; shift -= 8)
                lines[line].push_back(static_cast<char>((word >> shift) & 0xFF));
        }
    }
    return lines;
}

} // namespace tolmaren_sim
