#include "sim/NeuralSignalModel.h"

#include <algorithm>
#include <cmath>

#include "sim/Noise.h"
#include "sim/Random.h"

namespace tolmaren_sim {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr unsigned int spikeSamples = 48; // 1.6 ms
constexpr double refractorySamples = 60;  // 2 ms

// Seeds of the noise streams: each electrode and each channel without an
// electrode has its own, per band.
enum class Stream : uint64_t {
    ElectrodeAp = 1,
    ElectrodeLfp = 2,
    AmplifierAp = 3,
    AmplifierLfp = 4
};
uint64_t seedOf(Stream stream, unsigned int number) {
    return (static_cast<uint64_t>(stream) << 32) | number;
}

} // namespace

NeuralSignalModel::NeuralSignalModel(int probeType)
    : electrodes_(probeType == 2   ? 960
                  : probeType == 3 ? 966
                                   : 384) {
    // A spike: a sharp trough, then a slower positive rebound.
    spikeShape_.resize(spikeSamples);
    for (unsigned int t = 0; t < spikeSamples; ++t) {
        const double trough = (t - 12.0) / 3.5;
        const double rebound = (t - 24.0) / 7.0;
        spikeShape_[t] =
            static_cast<float>(-std::exp(-trough * trough) + 0.3 * std::exp(-rebound * rebound));
    }
    const float deepest = *std::min_element(spikeShape_.begin(), spikeShape_.end());
    for (float& v : spikeShape_)
        v /= -deepest;

    Random random(0x5EED0000u + static_cast<uint64_t>(probeType));
    const unsigned int count = static_cast<unsigned int>(electrodes_) / electrodesPerUnit;
    for (unsigned int u = 0; u < count; ++u) {
        Unit unit;
        unit.electrode =
            static_cast<int>(u * electrodesPerUnit + random.next() % electrodesPerUnit);
        unit.amplitude = (80 + 170 * random.uniform()) * 1e-6;
        const double rate = 3 + 12 * random.uniform(); // spikes per second
        // Poisson firing with a refractory period, over one ring.
        double at = -std::log(1 - random.uniform()) * sampleRate / rate;
        while (at < ringBlocks) {
            unit.spikes.push_back(static_cast<uint32_t>(at));
            at += refractorySamples - std::log(1 - random.uniform()) * sampleRate / rate;
        }
        units_.push_back(std::move(unit));
    }
}

void NeuralSignalModel::apVolts(unsigned int channel, int electrode,
                                std::vector<float>& out) const {
    out.resize(ringBlocks);
    apVolts(channel, electrode, 0, ringBlocks, out.data());
}

void NeuralSignalModel::lfpVolts(unsigned int channel, int electrode,
                                 std::vector<float>& out) const {
    out.resize(ringPackets);
    lfpVolts(channel, electrode, 0, ringPackets, out.data());
}

void NeuralSignalModel::apVolts(unsigned int channel, int electrode, unsigned int first,
                                unsigned int count, float* out) const {
    if (electrode < 0) {
        const uint64_t seed = seedOf(Stream::AmplifierAp, channel);
        for (unsigned int i = 0; i < count; ++i)
            out[i] = static_cast<float>(amplifierNoise) * Noise::normal(seed, first + i);
        return;
    }
    const uint64_t seed = seedOf(Stream::ElectrodeAp, static_cast<unsigned int>(electrode));
    for (unsigned int i = 0; i < count; ++i)
        out[i] = static_cast<float>(apNoise) * Noise::normal(seed, first + i);
    for (const Unit& unit : units_) {
        const int distance = electrode - unit.electrode;
        if (distance < -spikeReach || distance > spikeReach) continue;
        const double here =
            unit.amplitude * std::exp(-0.5 * distance * distance / (spikeSpread * spikeSpread));
        for (uint32_t start : unit.spikes) {
            for (unsigned int t = 0; t < spikeSamples; ++t) {
                // Spikes at the end of the ring wrap to its start.
                const unsigned int at = (start + t) % ringBlocks;
                if (at >= first && at - first < count)
                    out[at - first] += static_cast<float>(here) * spikeShape_[t];
            }
        }
    }
}

void NeuralSignalModel::lfpVolts(unsigned int channel, int electrode, unsigned int first,
                                 unsigned int count, float* out) const {
    if (electrode < 0) {
        const uint64_t seed = seedOf(Stream::AmplifierLfp, channel);
        for (unsigned int i = 0; i < count; ++i)
            out[i] = static_cast<float>(amplifierNoise) * Noise::normal(seed, first + i);
        return;
    }
    const uint64_t seed = seedOf(Stream::ElectrodeLfp, static_cast<unsigned int>(electrode));
    // Strongest every 400 electrodes, and a phase that drifts along the shank.
    const double amplitude = lfpAmplitude * (0.6 + 0.4 * std::cos(2 * pi * electrode / 400.0));
    const double phase = pi * electrode / 960.0;
    for (unsigned int i = 0; i < count; ++i) {
        const double t = (first + i) * 12 / sampleRate;
        out[i] = static_cast<float>(amplitude * std::sin(2 * pi * lfpFrequency * t + phase) +
                                    lfpNoise * Noise::normal(seed, first + i));
    }
}

uint16_t NeuralSignalModel::toCode(double volts, double gain, uint16_t correction) {
    const double codes = std::nearbyint(volts * gain * (correction / 512.0) / voltsPerCode);
    return static_cast<uint16_t>(std::clamp(midCode + codes, 0.0, 1023.0));
}

void NeuralSignalModel::render(const DataSettings::Channels& setup, bool corrected,
                               unsigned int firstPacket, unsigned int packets, Codes& codes) const {
    codes.ap.resize(static_cast<std::size_t>(ringBlocks) * channels);
    codes.lfp.resize(static_cast<std::size_t>(ringPackets) * channels);
    packets = std::min(packets, ringPackets - std::min(firstPacket, ringPackets));
    const unsigned int firstBlock = firstPacket * 12;
    const unsigned int blocks = packets * 12;
    std::vector<float> volts(blocks);
    for (unsigned int c = 0; c < channels; ++c) {
        const ChannelSetup& channel = setup[c];
        // In standby the amplifier is off: the ADC sees its mid level.
        const uint16_t correction = corrected ? channel.correction : 512;
        if (!channel.standby) apVolts(c, channel.electrode, firstBlock, blocks, volts.data());
        const double apGain = gains[channel.apGain & 7];
        for (unsigned int i = 0; i < blocks; ++i)
            codes.ap[static_cast<std::size_t>(firstBlock + i) * channels + c] =
                channel.standby ? midCode : toCode(volts[i], apGain, correction);
        if (!channel.standby) lfpVolts(c, channel.electrode, firstPacket, packets, volts.data());
        const double lfpGain = gains[channel.lfpGain & 7];
        for (unsigned int i = 0; i < packets; ++i)
            codes.lfp[static_cast<std::size_t>(firstPacket + i) * channels + c] =
                channel.standby ? midCode : toCode(volts[i], lfpGain, correction);
    }
}

} // namespace tolmaren_sim
