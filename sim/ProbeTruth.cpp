#include "sim/ProbeTruth.h"

#include <algorithm>
#include <cmath>

#include "sim/Random.h"

namespace tolmaren_sim {

namespace {

// Ranges the properties are drawn from (uniformly; impedances uniformly in
// their logarithm). The optima keep away from the ends of their sweeps, and
// the offsets at cfix 0 stay small enough that the slope calibration's
// lowest level is not cut off at code 0.
constexpr int slopeCodeLow = 32, slopeCodeHigh = 95;
constexpr double gainPerCodeLow = 0.003, gainPerCodeHigh = 0.005;
constexpr int cfixLow = 3, cfixHigh = 12;
constexpr double voltsPerCfixLow = 5e-3, voltsPerCfixHigh = 8e-3;
constexpr double residualSteps = 0.25; // of a slope code or cfix step, either way
constexpr int comparatorLow = 8, comparatorHigh = 24;
constexpr double electrodeGainSpread = 0.04;
constexpr double impedanceLow = 1e7, impedanceHigh = 1e9;

constexpr unsigned int referenceChannels[] = {36, 75, 112, 151, 188, 227, 264, 303, 340, 379};

unsigned int electrodeCount(int probeType) {
    return probeType == 2 ? 960 : probeType == 3 ? 966 : 384;
}

} // namespace

ProbeTruth ProbeTruth::draw(uint64_t seed, int probeType) {
    ProbeTruth truth;
    truth.seed = seed;
    Random adcRandom(seed);
    for (Pair& pair : truth.pairs) {
        pair.slopeCode = static_cast<uint8_t>(adcRandom.integer(slopeCodeLow, slopeCodeHigh));
        pair.gainPerCode = adcRandom.uniform(gainPerCodeLow, gainPerCodeHigh);
        pair.cfix = static_cast<uint8_t>(adcRandom.integer(cfixLow, cfixHigh));
        pair.voltsPerCfix = adcRandom.uniform(voltsPerCfixLow, voltsPerCfixHigh);
    }
    for (unsigned int a = 0; a < adcCount; ++a) {
        const Pair& pair = truth.pairs[pairOf(a)];
        Adc& adc = truth.adcs[a];
        adc.gainResidual = pair.gainPerCode * adcRandom.uniform(-residualSteps, residualSteps);
        adc.offsetResidual = pair.voltsPerCfix * adcRandom.uniform(-residualSteps, residualSteps);
        adc.comparatorT = static_cast<uint8_t>(adcRandom.integer(comparatorLow, comparatorHigh));
        adc.comparatorOffset = 2.0 * adc.comparatorT - 32 + adcRandom.uniform(-0.5, 0.5);
    }

    // A stream of its own, so that the ADCs do not depend on the probe type.
    Random electrodeRandom(seed ^ 0xE1EC7A0DEull);
    const unsigned int electrodes = electrodeCount(probeType);
    truth.electrodeGain.resize(electrodes);
    truth.impedance.resize(electrodes);
    for (unsigned int e = 0; e < electrodes; ++e) {
        const double gain = 1 + electrodeRandom.uniform(-electrodeGainSpread, electrodeGainSpread);
        truth.electrodeGain[e] = isReference(probeType, e) ? 1.0 : gain;
        truth.impedance[e] =
            impedanceLow * std::pow(impedanceHigh / impedanceLow, electrodeRandom.uniform());
    }
    return truth;
}

bool ProbeTruth::isReference(int probeType, unsigned int electrode) {
    const unsigned int channel = electrode % (probeType == 3 ? 276 : 384);
    return std::find(std::begin(referenceChannels), std::end(referenceChannels), channel) !=
           std::end(referenceChannels);
}

double ProbeTruth::adcGain(unsigned int adc, unsigned int slopeCode) const {
    const Pair& pair = pairs[pairOf(adc)];
    return 1 + pair.gainPerCode * (double(slopeCode) - pair.slopeCode) + adcs[adc].gainResidual;
}

double ProbeTruth::adcOffset(unsigned int adc, unsigned int cfix) const {
    const Pair& pair = pairs[pairOf(adc)];
    return pair.voltsPerCfix * (double(cfix) - pair.cfix) + adcs[adc].offsetResidual;
}

double ProbeTruth::onesShare(unsigned int adc, unsigned int compP, unsigned int compN) const {
    const double trim = double(compP) - double(compN) - adcs[adc].comparatorOffset;
    return 1 / (1 + std::exp(-trim / comparatorWidth));
}

} // namespace tolmaren_sim
