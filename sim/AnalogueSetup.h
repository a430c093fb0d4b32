#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/SignalGenerator.h"

namespace tolmaren_sim {

// What the probe's ADCs convert, decided by the ASIC mode, the base and test
// chains and the signal generator:
//   ComparatorTest  mode 1, TestOn (base chain) and test settings 13 and 15:
//                   every output bit is a decision of the ADC's comparator
//   AdcConversion   mode 1 and SarCal (base chain): every ADC converts the
//                   generator's output
//   Impedance       mode 2: the generator's sine drives a test current into
//                   every electrode
//   Bath            mode 1 or 3 with the generator's channel active: the
//                   electrodes pick up the generator's sine
//   Neural          otherwise: the electrodes' neural signals
// Only what the source depends on is kept (the generator for AdcConversion,
// Impedance and Bath, the ADC settings for the two ADC sources), so that two
// setups compare equal whenever they give the same signal.
struct AnalogueSetup {
    enum class Source { Neural, Bath, Impedance, AdcConversion, ComparatorTest };
    // One ADC's settings; slope code and cfix are those of its pair.
    struct Adc {
        uint8_t slopeCode = 0; // 16 slope + 4 coarse + fine
        uint8_t cfix = 0;
        uint8_t compP = 0;
        uint8_t compN = 0;
        bool operator==(const Adc& o) const {
            return slopeCode == o.slopeCode && cfix == o.cfix && compP == o.compP &&
                   compN == o.compN;
        }
    };

    // baseChain and testChain as read out of the ASIC, chain bit 0 first.
    static AnalogueSetup decode(int asicMode, const std::vector<bool>& baseChain,
                                const std::vector<bool>& testChain,
                                const SignalGenerator& generator);

    Source source = Source::Neural;
    SignalGenerator generator;
    std::array<Adc, 32> adcs{};

    bool operator==(const AnalogueSetup& o) const {
        return source == o.source && generator == o.generator && adcs == o.adcs;
    }
    bool operator!=(const AnalogueSetup& o) const { return !(*this == o); }
};

} // namespace tolmaren_sim
