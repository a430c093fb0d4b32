#include "sim/DataSettings.h"

#include "sim/HardwareModel.h"

namespace tolmaren_sim {

namespace {

constexpr uint32_t generatorParamRegister = BasestationRegisters::generatorEnable + 4;
constexpr uint32_t generatorPow2Register = BasestationRegisters::generatorEnable + 8;
constexpr std::size_t baseChainLength = 7414;
constexpr unsigned int noBank = 255;

unsigned int bitsAt(const std::vector<bool>& chain, std::size_t position, unsigned int count) {
    unsigned int value = 0;
    for (unsigned int i = 0; i < count; ++i)
        if (chain[position + i]) value |= 1u << i;
    return value;
}

// Channels that have electrodes, and how many electrodes the shank has.
unsigned int shankWidth(int probeType) {
    return probeType == 3 ? 276 : 384;
}
unsigned int electrodeCount(int probeType) {
    return probeType == 2 ? 960 : probeType == 3 ? 966 : 384;
}

// Position of an electrode's flag in the shank chain: the even reference
// first, the odd electrodes from the highest down, the even ones from 0 up.
std::size_t shankBit(int probeType, unsigned int electrode) {
    const unsigned int count = electrodeCount(probeType);
    if (electrode % 2 == 1) return (count + 1 - electrode) / 2;
    return 1 + count / 2 + electrode / 2;
}

} // namespace

DataSettings DataSettings::capture(const HardwareModel& hardware) {
    const BasestationRegisters& registers = hardware.registers;
    DataSettings settings;
    settings.probeType = hardware.asic.probeType();
    settings.electrodeMode = registers.peek(BasestationRegisters::datamode) != 0;
    settings.datapathReset = registers.peek(BasestationRegisters::datapathReset) != 0;
    settings.datapathResets = registers.datapathResets();
    settings.asicMode = hardware.asic.mode();
    settings.neuralStart = registers.peek(BasestationRegisters::neuralStart) != 0;
    settings.softwareStarts = registers.softwareStarts();
    if (registers.peek(BasestationRegisters::syncExtStart) != 0) {
        // Only another basestation's pulse, after the latest arming, counts.
        const TriggerLine::Pulse pulse = hardware.rig.signals->line.latest();
        if (pulse.sequence > registers.armedMark() && pulse.source != hardware.rig.index)
            settings.lineStart = pulse;
        else
            settings.held = true;
    }
    settings.generatorEnabled = registers.peek(BasestationRegisters::generatorEnable) != 0;
    settings.generatorParam = static_cast<uint8_t>(registers.peek(generatorParamRegister));
    settings.generatorPow2 = registers.peek(generatorPow2Register);
    settings.baseChain = hardware.asic.chain(0);
    settings.shankChain = hardware.asic.chain(1);
    settings.testChain = hardware.asic.chain(2);
    for (unsigned int r = 0; r < SignalGenerator::registerCount; ++r)
        settings.generatorRegisters[r] =
            hardware.headstage.read(static_cast<uint8_t>(SignalGenerator::firstRegister + r));
    for (unsigned int c = 0; c < channels; ++c)
        settings.channelToElectrode[c] =
            registers.peek(BasestationRegisters::channelToElectrode + 4 * c);
    settings.gainCorrection.resize(BasestationRegisters::scaleCount);
    for (unsigned int i = 0; i < BasestationRegisters::scaleCount; ++i)
        settings.gainCorrection[i] =
            static_cast<uint16_t>(registers.peek(BasestationRegisters::scale + 4 * i));
    return settings;
}

AnalogueSetup DataSettings::decodeAnalogue() const {
    return AnalogueSetup::decode(asicMode, baseChain, testChain,
                                 SignalGenerator(generatorRegisters));
}

DataSettings::Channels DataSettings::decodeChannels() const {
    Channels result;
    const bool hasShank = probeType == 2 || probeType == 3;
    const unsigned int width = shankWidth(probeType);
    const unsigned int electrodes = electrodeCount(probeType);
    const bool shankValid = hasShank && shankChain.size() == electrodes + 2;

    for (unsigned int c = 0; c < channels; ++c) {
        ChannelSetup& setup = result[c];
        // Odd channels lie in the first half of the base chain, even ones in
        // the second, seven bits each: AP gain, LFP gain, standby.
        if (baseChain.size() == baseChainLength) {
            const std::size_t at = c % 2 == 1 ? 248 + 7 * (c / 2) : 5816 + 7 * (c / 2);
            setup.apGain = static_cast<uint8_t>(bitsAt(baseChain, at, 3));
            setup.lfpGain = static_cast<uint8_t>(bitsAt(baseChain, at + 3, 3));
            setup.standby = baseChain[at + 6];
        }

        // The probe connects the electrode of the lowest bank whose flag is
        // set; probes without a shank chain have one electrode per channel.
        if (!hasShank) {
            setup.electrode = static_cast<int>(c);
        } else if (shankValid && c < width) {
            for (unsigned int e = c; e < electrodes; e += width) {
                if (shankChain[shankBit(probeType, e)]) {
                    setup.electrode = static_cast<int>(e);
                    break;
                }
            }
        }

        // The basestation scales by the entry of the electrode that its
        // channel-to-electrode registers name.
        unsigned int entry = c;
        if (hasShank) {
            const uint32_t bank = channelToElectrode[c];
            entry = bank == noBank || bank > 3 || c >= width ? electrodes : bank * width + c;
        }
        setup.correction =
            entry < electrodes && entry < gainCorrection.size() ? gainCorrection[entry] : 512;
    }
    return result;
}

} // namespace tolmaren_sim
