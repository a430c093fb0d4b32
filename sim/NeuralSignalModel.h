#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/DataSettings.h"

namespace tolmaren_sim {

// What the probe's electrodes pick up, and how its channels turn that into
// sample codes. Every electrode has its own noise, the spikes of the
// simulated units near it and a slow LFP oscillation; a channel records the
// electrode its shank chain connects, amplified by the gain of its gain code,
// scaled by the basestation's gain correction and quantised to 10 bits around
// code 512. The signal repeats every ring (1024 packets, 0.4096 s), which is
// what the data port streams over and over.
class NeuralSignalModel {
public:
    static constexpr unsigned int channels = 384;
    static constexpr unsigned int ringPackets = 1024;
    static constexpr unsigned int ringBlocks = ringPackets * 12;
    static constexpr double sampleRate = 30000.0; // AP samples (blocks) per second
    static constexpr double voltsPerCode = 1.2 / 1023.0;
    static constexpr uint16_t midCode = 512;
    // Amplification of AP and LFP gain codes 0 to 7.
    static constexpr std::array<double, 8> gains{50, 125, 250, 500, 1000, 1500, 2000, 3000};
    // Noise (standard deviation, volts at the input).
    static constexpr double apNoise = 6e-6;
    static constexpr double lfpNoise = 10e-6;
    static constexpr double amplifierNoise = 2e-6; // a channel without electrode
    // The LFP oscillation: three periods per ring, 7.32 Hz.
    static constexpr double lfpFrequency = 3 * sampleRate / ringBlocks;
    static constexpr double lfpAmplitude = 150e-6; // largest, at the electrodes it peaks on
    // A unit's spike reaches the electrodes within this distance of its own,
    // falling off as a Gaussian of this width (in electrode numbers).
    static constexpr int spikeReach = 10;
    static constexpr double spikeSpread = 3.0;
    static constexpr unsigned int electrodesPerUnit = 32;

    struct Unit {
        int electrode;                // where its spikes are largest
        double amplitude;             // volts at the trough, there
        std::vector<uint32_t> spikes; // sample (block) numbers within the ring
    };

    // Sample codes of one ring: ap[block * 384 + channel] and
    // lfp[packet * 384 + channel].
    struct Codes {
        std::vector<uint16_t> ap;
        std::vector<uint16_t> lfp;
    };

    // Places the units on the probe type's electrodes (384, 960 or 966),
    // always the same way for a type.
    explicit NeuralSignalModel(int probeType);

    int electrodes() const { return electrodes_; }
    const std::vector<Unit>& units() const { return units_; }

    // The codes of every channel for packets [firstPacket, firstPacket +
    // packets) of the ring, into codes (sized for the whole ring by the
    // first call; other packets are left as they are). Without correction
    // the gain correction is left out (the probe's raw ADC output).
    void render(const DataSettings::Channels& setup, bool corrected, unsigned int firstPacket,
                unsigned int packets, Codes& codes) const;

    // The input of a channel in volts over one ring, AP band (ringBlocks
    // values) and LFP band (ringPackets values): its electrode's signal, or
    // amplifier noise when it has none.
    void apVolts(unsigned int channel, int electrode, std::vector<float>& out) const;
    void lfpVolts(unsigned int channel, int electrode, std::vector<float>& out) const;

    // volts × gain × correction / 512 in codes around 512, within 0 to 1023.
    static uint16_t toCode(double volts, double gain, uint16_t correction);

private:
    // The same for samples [first, first + count) of the ring only.
    void apVolts(unsigned int channel, int electrode, unsigned int first, unsigned int count,
                 float* out) const;
    void lfpVolts(unsigned int channel, int electrode, unsigned int first, unsigned int count,
                  float* out) const;

    int electrodes_;
    std::vector<Unit> units_;
    std::vector<float> spikeShape_; // trough -1
};

} // namespace tolmaren_sim
