#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tolmaren_sim {

// The probe's hidden analogue properties, drawn once from a seed: what the
// ADC, gain and impedance calibrations have to find out. The signal models
// use them through the functions below; tests read them to compare a
// calibration's results with the truth.
//
// ADCs: pair 2k joins ADCs 4k and 4k+2, pair 2k+1 joins 4k+1 and 4k+3. A
// pair's 7-bit slope code is c = 16 slope + 4 coarse + fine.
//   gain of ADC a at code c:   G = 1 + gainPerCode (c - slopeCode) + gainResidual
//   offset of ADC a at cfix v: O = voltsPerCfix (v - cfix) + offsetResidual
// with the pair's slopeCode and cfix and |residual| < a quarter step, so the
// pair's slopeCode is the one code whose gains come closest to 1 (each ADC's
// and the sum |1 - G| over the pair's two) and its cfix the one setting that
// puts 0.6 V closest to 0.6 V.
//   share of ones in ADC a's output bits in the comparator test:
//     p = 1 / (1 + exp(-((compP - compN) - comparatorOffset) / comparatorWidth))
// with comparatorOffset = 2 comparatorT - 32 + u, |u| <= 0.5, so that the
// sweep compP = t, compN = 32 - t comes closest to half at t = comparatorT.
// Electrodes: a gain factor (the channel's gain times it is the actual gain)
// and an impedance at 1 kHz.
struct ProbeTruth {
    static constexpr unsigned int adcCount = 32;
    static constexpr unsigned int pairCount = 16;
    static constexpr double comparatorWidth = 4.0;

    struct Pair {
        uint8_t slopeCode;   // 0 to 127, the optimum
        uint8_t cfix;        // 0 to 15, the optimum
        double gainPerCode;  // gain change per step of the slope code
        double voltsPerCfix; // offset change per step of cfix
    };
    struct Adc {
        double gainResidual;     // gain - 1 at the pair's optimal code
        double offsetResidual;   // volts, at the pair's optimal cfix
        uint8_t comparatorT;     // 1 to 31, the optimum of the sweep
        double comparatorOffset; // compP - compN that gives half ones
    };

    // Draws the properties of a probe of the type (384, 960 or 966
    // electrodes); the same seed and type give the same probe.
    static ProbeTruth draw(uint64_t seed, int probeType);

    static unsigned int pairOf(unsigned int adc) { return 2 * (adc / 4) + adc % 2; }
    // An electrode that the probe uses as a reference (channel 36, 75, 112,
    // 151, 188, 227, 264, 303, 340 or 379 of its bank).
    static bool isReference(int probeType, unsigned int electrode);

    double adcGain(unsigned int adc, unsigned int slopeCode) const;
    double adcOffset(unsigned int adc, unsigned int cfix) const;
    double onesShare(unsigned int adc, unsigned int compP, unsigned int compN) const;

    uint64_t seed = 0;
    std::array<Pair, pairCount> pairs{};
    std::array<Adc, adcCount> adcs{};
    std::vector<double> electrodeGain; // 1 for the reference electrodes
    std::vector<double> impedance;     // ohms at 1 kHz
};

} // namespace tolmaren_sim
