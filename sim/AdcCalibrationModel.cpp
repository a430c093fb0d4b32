#include "sim/AdcCalibrationModel.h"

#include <algorithm>
#include <cmath>

#include "sim/Noise.h"

namespace tolmaren_sim {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr unsigned int channels = NeuralSignalModel::channels;
constexpr unsigned int adcs = ProbeTruth::adcCount;
constexpr unsigned int slots = channels / adcs;
constexpr unsigned int blocksPerPacket = 12;
constexpr uint64_t conversionStream = 0xADC0ull << 32;
constexpr uint64_t comparatorStream = 0xC0AAull << 32;

uint64_t streamSeed(uint64_t truthSeed, uint64_t stream, unsigned int adc) {
    return Noise::mix(truthSeed ^ stream ^ adc);
}

uint16_t convert(double volts, uint64_t seed, uint64_t record) {
    const double noise = AdcCalibrationModel::noiseCodes * Noise::normal(seed, record);
    const double code = std::nearbyint(volts / NeuralSignalModel::voltsPerCode + noise);
    return static_cast<uint16_t>(std::clamp(code, 0.0, 1023.0));
}

// Ten bits, each 1 when its 16-bit uniform lies below the threshold (the
// share of ones in 1/65536); three draws give twelve uniforms.
uint16_t comparatorCode(uint32_t onesThreshold, uint64_t seed, uint64_t record) {
    uint16_t code = 0;
    uint64_t r = 0;
    for (unsigned int bit = 0; bit < 10; ++bit, r >>= 16) {
        if (bit % 4 == 0) r = Noise::bits(seed, 3 * record + bit / 4);
        if ((r & 0xFFFF) < onesThreshold) code |= static_cast<uint16_t>(1u << bit);
    }
    return code;
}

} // namespace

void AdcCalibrationModel::render(const AnalogueSetup& setup, unsigned int firstPacket,
                                 unsigned int packets, NeuralSignalModel::Codes& codes) const {
    const bool comparator = setup.source == AnalogueSetup::Source::ComparatorTest;
    double gain[adcs];
    double offset[adcs];
    uint32_t onesThreshold[adcs];
    uint64_t seed[adcs];
    for (unsigned int a = 0; a < adcs; ++a) {
        const AnalogueSetup::Adc& adc = setup.adcs[a];
        gain[a] = truth_.adcGain(a, adc.slopeCode);
        offset[a] = truth_.adcOffset(a, adc.cfix);
        onesThreshold[a] =
            static_cast<uint32_t>(std::lround(65536 * truth_.onesShare(a, adc.compP, adc.compN)));
        seed[a] = streamSeed(truth_.seed, comparator ? comparatorStream : conversionStream, a);
    }
    const SignalGenerator& generator = setup.generator;
    const double level = generator.active() ? generator.dcVolts() : 0;
    const double peak = generator.active() ? generator.sinePeak() : 0;
    const double radiansPerRecord = 2 * pi * generator.frequency() / recordsPerSecond;

    const unsigned int firstBlock = firstPacket * blocksPerPacket;
    const unsigned int endBlock = firstBlock + packets * blocksPerPacket;
    for (unsigned int block = firstBlock; block < endBlock; ++block) {
        uint16_t* out = &codes.ap[static_cast<std::size_t>(block) * channels];
        for (unsigned int slot = 0; slot < slots; ++slot) {
            const uint64_t record = uint64_t(block) * slots + slot;
            const double input = level + peak * std::sin(radiansPerRecord * double(record));
            for (unsigned int a = 0; a < adcs; ++a) {
                out[a + adcs * slot] =
                    comparator ? comparatorCode(onesThreshold[a], seed[a], record)
                               : convert(midVolts + gain[a] * (input - midVolts) + offset[a],
                                         seed[a], record);
            }
        }
    }
    for (unsigned int packet = firstPacket; packet < firstPacket + packets; ++packet)
        std::copy_n(&codes.ap[static_cast<std::size_t>(packet) * blocksPerPacket * channels],
                    channels, &codes.lfp[static_cast<std::size_t>(packet) * channels]);
}

} // namespace tolmaren_sim
