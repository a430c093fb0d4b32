#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/BistCounters.h"
#include "sim/Faults.h"
#include "sim/Headstage.h"
#include "sim/MemoryTest.h"
#include "sim/SimulatorOptions.h"
#include "sim/TriggerLine.h"
#include "sim/UartBridge.h"

namespace tolmaren_sim {

// The basestation's register space: 32-bit registers at byte addresses.
// Named registers behave as the hardware does (read-only codes, FIFO ports,
// clear-on-read flags, the memory test, the self-test counters); the other
// registers of the mapped blocks hold what was last written. Addresses
// outside the blocks, or not word aligned, read 0 and ignore writes.
class BasestationRegisters {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr uint32_t fpgaMajor = 0x0000;
    static constexpr uint32_t fpgaMinor = 0x0004;
    static constexpr uint32_t datamode = 0x0008;
    static constexpr uint32_t temperature = 0x000C;
    static constexpr uint32_t datapathReset = 0x0010;
    static constexpr uint32_t channelToElectrode = 0x001C;
    static constexpr uint32_t bsSwHbeat = 0x1000;
    static constexpr uint32_t supply = 0x1004;
    static constexpr uint32_t bsVersion = 0x1008;
    static constexpr uint32_t bsRevision = 0x100C;
    static constexpr uint32_t bypassDatapath = 0x1010;
    static constexpr uint32_t reset = 0x1014;
    static constexpr uint32_t lcdText0 = 0x1020;
    static constexpr uint32_t lcdText7 = 0x103C;
    static constexpr uint32_t rxData = 0x1040;
    static constexpr uint32_t txData = 0x1044;
    static constexpr uint32_t rxCount = 0x1048;
    static constexpr uint32_t parityEnable = 0x1054;
    static constexpr uint32_t uartFlags = 0x1058;
    static constexpr uint32_t rxAccel = 0x105C;
    static constexpr uint32_t txAccel = 0x1060;
    static constexpr uint32_t shiftFifo = 0x1064;
    static constexpr uint32_t generatorEnable = 0x1080;
    static constexpr uint32_t leds = 0x1090;
    static constexpr uint32_t dramTestStart = 0x1150;
    static constexpr uint32_t dmaError = 0x1198;
    static constexpr uint32_t dramTestBusy = 0x119C;
    static constexpr uint32_t dramTestError = 0x11A0;
    static constexpr uint32_t fifoFilling = 0x11AC;
    static constexpr uint32_t startTriggerOutputEnable = 0x1220;
    static constexpr uint32_t syncExtStart = 0x1224;
    static constexpr uint32_t neuralStart = 0x1228;
    static constexpr uint32_t test9Select = 0x1230;
    static constexpr uint32_t test7ErrorMask = 0x1234;
    static constexpr uint32_t test7ErrorCounter = 0x1238;
    static constexpr uint32_t test7TotalChecked = 0x123C;
    static constexpr uint32_t test9Result0 = 0x1240;
    static constexpr uint32_t test9Result8 = 0x1260;
    static constexpr uint32_t test7Enable = 0x126C;
    static constexpr uint32_t openSetting = 0x1280;
    static constexpr uint32_t scale = 0x2000;
    static constexpr unsigned int channelToElectrodeCount = (0x1000 - 0x001C) / 4;
    static constexpr unsigned int scaleCount = 966;

    // The line orders the events that arm the external start against its
    // pulses.
    BasestationRegisters(const SimulatorOptions& options, UartBridge& bridge,
                         const Headstage& headstage, const Faults& faults, TriggerLine& line);

    // At `now`: the words of one burst share the time of their request.
    uint32_t read(uint32_t address, Clock::time_point now = Clock::now());
    void write(uint32_t address, uint32_t value, Clock::time_point now = Clock::now());
    // The value a read would return, without its side effects (no FIFO byte
    // taken, no flag cleared).
    uint32_t peek(uint32_t address) const;

    // The display's two 16-character lines as last written.
    std::array<std::string, 2> displayLines() const;
    // The lines after each of the latest writes of the display (a write ends
    // with lcd_text7), oldest first; at most displayHistoryLength.
    static constexpr std::size_t displayHistoryLength = 64;
    const std::deque<std::array<std::string, 2>>& displayHistory() const { return displayHistory_; }
    void setTemperatureCode(uint32_t code) { temperatureCode_ = code; }
    // Fill of the data FIFO, 2^28 = 100 %; kept by the data side.
    void setFifoFilling(uint32_t fill) { fifoFilling_ = fill; }
    // The data FIFO overflowed: dma_error reads 1 until the datapath is reset.
    void raiseDmaOverflow() { dmaOverflow_ = true; }
    // Nonzero writes to datapath_reset so far, so that the data side sees
    // every reset however short.
    uint64_t datapathResets() const { return datapathResets_; }
    // Software starts so far: neural_start set from 0 while the start-trigger
    // output is enabled and sync_ext_start is clear. The data side drives
    // the trigger line for each.
    uint64_t softwareStarts() const { return softwareStarts_; }
    // The line's mark of the latest event that arms the external start:
    // sync_ext_start set from 0, a datapath reset, a change of data mode.
    // Only a pulse after it starts the stream.
    uint64_t armedMark() const { return armedMark_; }

private:
    static bool mapped(uint32_t address);
    uint32_t current(uint32_t address, Clock::time_point now) const;
    void advanceCounters(Clock::time_point now);
    void resetBasestation();

    const SimulatorOptions& options_;
    UartBridge& bridge_;
    const Headstage& headstage_;
    const Faults& faults_;
    TriggerLine& line_;
    std::vector<uint32_t> words_;
    uint32_t temperatureCode_;
    uint32_t fifoFilling_ = 0;
    bool dmaOverflow_ = false;
    uint64_t datapathResets_ = 0;
    uint64_t softwareStarts_ = 0;
    uint64_t armedMark_ = 0;
    std::deque<std::array<std::string, 2>> displayHistory_;
    MemoryTest memoryTest_;
    BistCounters counters_;
};

} // namespace tolmaren_sim
