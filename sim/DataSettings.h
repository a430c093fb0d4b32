#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/AnalogueSetup.h"
#include "sim/ChannelSetup.h"
#include "sim/SignalGenerator.h"
#include "sim/TriggerLine.h"

namespace tolmaren_sim {

class HardwareModel;

// A copy of everything in the model that the data stream depends on, taken
// under the simulator's lock (capture) and interpreted outside it.
struct DataSettings {
    static constexpr unsigned int channels = 384;
    using Channels = std::array<ChannelSetup, channels>;

    // Copies the registers and chains; the caller holds the model's lock.
    static DataSettings capture(const HardwareModel& hardware);

    // True while the probe delivers data: the ASIC in a mode other than
    // configuration, the datapath out of reset and no external start awaited.
    bool streaming() const { return asicMode != 0 && !datapathReset && !held; }
    // Each channel's electrode, gains, standby and gain correction, from the
    // base and shank chains, the channel-to-electrode registers and the
    // gain-correction registers.
    Channels decodeChannels() const;
    // What the ADCs convert, from the ASIC mode, the chains and the signal
    // generator.
    AnalogueSetup decodeAnalogue() const;

    int probeType = 0;
    bool electrodeMode = true;
    bool datapathReset = false;
    uint64_t datapathResets = 0; // reset pulses so far, so that none is missed
    int asicMode = 0;
    bool neuralStart = false;
    uint64_t softwareStarts = 0;
    // With sync_ext_start set: the pulse of the trigger line that started
    // the stream, or held while none came since the basestation was armed.
    std::optional<TriggerLine::Pulse> lineStart;
    bool held = false;
    bool generatorEnabled = false;
    uint8_t generatorParam = 0;
    uint32_t generatorPow2 = 1;
    std::vector<bool> baseChain;
    std::vector<bool> shankChain;
    std::vector<bool> testChain;
    SignalGenerator::Registers generatorRegisters{}; // headstage registers 0x40 to 0x43
    std::array<uint32_t, channels> channelToElectrode{};
    std::vector<uint16_t> gainCorrection;
};

} // namespace tolmaren_sim
