#include "sim/AnalogueSetup.h"

namespace tolmaren_sim {

namespace {

constexpr std::size_t baseChainLength = 7414;
constexpr std::size_t testChainLength = 18;
constexpr std::size_t testOnBit = 7412;
constexpr std::size_t sarCalBit = 7413;
// Test settings 13 and 15 travel in test chain bits 14 and 12.
constexpr std::size_t testSetting13Bit = 14;
constexpr std::size_t testSetting15Bit = 12;

unsigned int bitsAt(const std::vector<bool>& chain, std::size_t position, unsigned int count) {
    unsigned int value = 0;
    for (unsigned int i = 0; i < count; ++i)
        if (chain[position + i]) value |= 1u << i;
    return value;
}

// The 31-bit group of ADCs 4k+r and 4k+r+2 (r = 0 or 1) and their pair: odd
// groups from bit 0, even ones from bit 7160, k = 7 first. In a group: first
// ADC compP, compN; second ADC compP, compN; the pair's slope (3 bits), fine
// (2), coarse (2), cfix (4).
AnalogueSetup::Adc decodeAdc(const std::vector<bool>& chain, unsigned int adc) {
    const unsigned int k = adc / 4;
    const std::size_t group = (adc % 2 == 1 ? 0 : 7160) + 31 * (7 - k);
    const std::size_t own = group + (adc % 4 >= 2 ? 10 : 0);
    AnalogueSetup::Adc result;
    result.compP = static_cast<uint8_t>(bitsAt(chain, own, 5));
    result.compN = static_cast<uint8_t>(bitsAt(chain, own + 5, 5));
    const unsigned int slope = bitsAt(chain, group + 20, 3);
    const unsigned int fine = bitsAt(chain, group + 23, 2);
    const unsigned int coarse = bitsAt(chain, group + 25, 2);
    result.slopeCode = static_cast<uint8_t>(16 * slope + 4 * coarse + fine);
    result.cfix = static_cast<uint8_t>(bitsAt(chain, group + 27, 4));
    return result;
}

} // namespace

AnalogueSetup AnalogueSetup::decode(int asicMode, const std::vector<bool>& baseChain,
                                    const std::vector<bool>& testChain,
                                    const SignalGenerator& generator) {
    const bool base = baseChain.size() == baseChainLength;
    const bool test = testChain.size() == testChainLength;
    const bool comparatorTest = base && test && baseChain[testOnBit] &&
                                testChain[testSetting13Bit] && testChain[testSetting15Bit];
    const bool sarCal = base && baseChain[sarCalBit];

    AnalogueSetup setup;
    if (asicMode == 1 && comparatorTest) {
        setup.source = Source::ComparatorTest;
        for (unsigned int a = 0; a < setup.adcs.size(); ++a) {
            const Adc adc = decodeAdc(baseChain, a);
            setup.adcs[a].compP = adc.compP;
            setup.adcs[a].compN = adc.compN;
        }
    } else if (asicMode == 1 && sarCal) {
        setup.source = Source::AdcConversion;
        setup.generator = generator;
        for (unsigned int a = 0; a < setup.adcs.size(); ++a) {
            const Adc adc = decodeAdc(baseChain, a);
            setup.adcs[a].slopeCode = adc.slopeCode;
            setup.adcs[a].cfix = adc.cfix;
        }
    } else if (asicMode == 2) {
        setup.source = Source::Impedance;
        setup.generator = generator;
    } else if ((asicMode == 1 || asicMode == 3) && generator.active()) {
        setup.source = Source::Bath;
        setup.generator = generator;
    }
    return setup;
}

} // namespace tolmaren_sim
