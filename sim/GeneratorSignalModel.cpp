#include "sim/GeneratorSignalModel.h"

#include <cmath>
#include <vector>

#include "sim/Noise.h"

namespace tolmaren_sim {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr unsigned int channels = NeuralSignalModel::channels;
constexpr unsigned int blocksPerPacket = 12;

// Noise streams: per electrode, or per channel without one, and band.
enum class Stream : uint64_t { ElectrodeAp = 0xB1, ElectrodeLfp, AmplifierAp, AmplifierLfp };
uint64_t seedOf(uint64_t truthSeed, Stream stream, unsigned int number) {
    return Noise::mix(truthSeed ^ (static_cast<uint64_t>(stream) << 32) ^ number);
}

} // namespace

GeneratorSignalModel::GeneratorSignalModel(int probeType, const ProbeTruth& truth)
    : probeType_(probeType), truth_(truth) {}

double GeneratorSignalModel::sineFactor(const ChannelSetup& channel,
                                        const AnalogueSetup& analogue) const {
    if (channel.electrode < 0) return 0;
    const auto electrode = static_cast<unsigned int>(channel.electrode);
    const double k = truth_.electrodeGain[electrode];
    if (analogue.source == AnalogueSetup::Source::Bath)
        return ProbeTruth::isReference(probeType_, electrode) ? 0 : k;
    const double admittance = 1 / truth_.impedance[electrode] +
                              2 * pi * analogue.generator.frequency() * parallelCapacitance;
    return testCurrentPerVolt / admittance / k;
}

void GeneratorSignalModel::render(const DataSettings::Channels& setup,
                                  const AnalogueSetup& analogue, bool corrected,
                                  unsigned int firstPacket, unsigned int packets,
                                  NeuralSignalModel::Codes& codes) const {
    const bool impedance = analogue.source == AnalogueSetup::Source::Impedance;
    const SignalGenerator& generator = analogue.generator;
    const double peak = generator.active() ? generator.sinePeak() : 0;
    const double radiansPerBlock = 2 * pi * generator.frequency() / NeuralSignalModel::sampleRate;
    const double lfpPeak = generator.frequency() <= lfpBandEdge ? peak : 0;

    const unsigned int firstBlock = firstPacket * blocksPerPacket;
    const unsigned int blocks = packets * blocksPerPacket;
    std::vector<double> apSine(blocks);
    for (unsigned int i = 0; i < blocks; ++i)
        apSine[i] = peak * std::sin(radiansPerBlock * (firstBlock + i));
    std::vector<double> lfpSine(packets);
    for (unsigned int i = 0; i < packets; ++i)
        lfpSine[i] = lfpPeak * std::sin(radiansPerBlock * blocksPerPacket * (firstPacket + i));

    const double impedanceNoise = impedanceNoiseCodes * NeuralSignalModel::voltsPerCode;
    for (unsigned int c = 0; c < channels; ++c) {
        const ChannelSetup& channel = setup[c];
        uint16_t* ap = &codes.ap[static_cast<std::size_t>(firstBlock) * channels + c];
        uint16_t* lfp = &codes.lfp[static_cast<std::size_t>(firstPacket) * channels + c];
        if (channel.standby) {
            // The amplifier is off: the ADC sees its mid level.
            for (unsigned int i = 0; i < blocks; ++i)
                ap[std::size_t(i) * channels] = NeuralSignalModel::midCode;
            for (unsigned int i = 0; i < packets; ++i)
                lfp[std::size_t(i) * channels] = NeuralSignalModel::midCode;
            continue;
        }
        const uint16_t correction = corrected ? channel.correction : 512;
        const double factor = sineFactor(channel, analogue);
        const bool hasElectrode = channel.electrode >= 0;
        const unsigned int number = hasElectrode ? static_cast<unsigned int>(channel.electrode) : c;
        const uint64_t apSeed =
            seedOf(truth_.seed, hasElectrode ? Stream::ElectrodeAp : Stream::AmplifierAp, number);
        const uint64_t lfpSeed =
            seedOf(truth_.seed, hasElectrode ? Stream::ElectrodeLfp : Stream::AmplifierLfp, number);
        // In impedance mode the signal and its noise are volts at the ADC;
        // in the bath they are volts at the input, amplified by the gain.
        const double inputNoise =
            hasElectrode ? NeuralSignalModel::apNoise : NeuralSignalModel::amplifierNoise;
        const double apNoise = impedance ? impedanceNoise : inputNoise;
        const double lfpNoise = impedance      ? impedanceNoise
                                : hasElectrode ? NeuralSignalModel::lfpNoise
                                               : NeuralSignalModel::amplifierNoise;
        const double apGain = impedance ? 1 : NeuralSignalModel::gains[channel.apGain & 7];
        const double lfpGain = impedance ? 1 : NeuralSignalModel::gains[channel.lfpGain & 7];
        for (unsigned int i = 0; i < blocks; ++i) {
            const double volts =
                factor * apSine[i] + apNoise * Noise::normal(apSeed, firstBlock + i);
            ap[std::size_t(i) * channels] = NeuralSignalModel::toCode(volts, apGain, correction);
        }
        for (unsigned int i = 0; i < packets; ++i) {
            const double volts =
                factor * lfpSine[i] + lfpNoise * Noise::normal(lfpSeed, firstPacket + i);
            lfp[std::size_t(i) * channels] = NeuralSignalModel::toCode(volts, lfpGain, correction);
        }
    }
}

} // namespace tolmaren_sim
