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

// One band of one channel: the volts of its sine per volt of the
// generator's, the standard deviation of its noise, its gain, the seed of
// its noise.
struct Band {
    double sineFactor;
    double noise;
    double gain;
    uint64_t seed;
};

// The band's codes of consecutive samples, one channel apart in out.
void fill(uint16_t* out, const std::vector<double>& sine, uint64_t firstSample, const Band& band,
          uint16_t correction) {
    for (std::size_t i = 0; i < sine.size(); ++i) {
        const double volts =
            band.sineFactor * sine[i] + band.noise * Noise::normal(band.seed, firstSample + i);
        out[i * channels] = NeuralSignalModel::toCode(volts, band.gain, correction);
    }
}

} // namespace

GeneratorSignalModel::GeneratorSignalModel(int probeType, const ProbeTruth& truth)
    : probeType_(probeType), truth_(truth) {}

double GeneratorSignalModel::sineFactor(const ChannelSetup& channel,
                                        const AnalogueSetup& analogue) const {
    if (channel.electrode < 0) return 0;
    const auto electrode = static_cast<unsigned int>(channel.electrode);
    const double k = truth_.electrodeGain[electrode];
    if (analogue.source == AnalogueSetup::Source::Bath) {
        if (ProbeTruth::isReference(probeType_, electrode)) return 0;
        return probeType_ == 1 ? k / type1BathDivisor : k;
    }
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
        const bool hasElectrode = channel.electrode >= 0;
        const unsigned int number = hasElectrode ? static_cast<unsigned int>(channel.electrode) : c;
        const double factor = sineFactor(channel, analogue);
        // In impedance mode signal and noise are volts at the ADC; in the
        // bath they are volts at the input, amplified by the gain. In standby
        // the amplifier is off (gain 0): the ADC sees its mid level.
        const auto gain = [&](uint8_t code) {
            return channel.standby ? 0.0 : impedance ? 1.0 : NeuralSignalModel::gains[code & 7];
        };
        const Band ap{
            factor,
            impedance      ? impedanceNoise
            : hasElectrode ? NeuralSignalModel::apNoise
                           : NeuralSignalModel::amplifierNoise,
            gain(channel.apGain),
            seedOf(truth_.seed, hasElectrode ? Stream::ElectrodeAp : Stream::AmplifierAp, number)};
        const Band lfp{factor,
                       impedance      ? impedanceNoise
                       : hasElectrode ? NeuralSignalModel::lfpNoise
                                      : NeuralSignalModel::amplifierNoise,
                       gain(channel.lfpGain),
                       seedOf(truth_.seed,
                              hasElectrode ? Stream::ElectrodeLfp : Stream::AmplifierLfp, number)};
        const uint16_t correction = corrected ? channel.correction : 512;
        fill(&codes.ap[std::size_t(firstBlock) * channels + c], apSine, firstBlock, ap, correction);
        fill(&codes.lfp[std::size_t(firstPacket) * channels + c], lfpSine, firstPacket, lfp,
             correction);
    }
}

} // namespace tolmaren_sim
