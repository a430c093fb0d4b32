#include "config/TestConfiguration.h"

namespace {

// Setting carried by each chain bit, chain bit 0 first.
constexpr unsigned int settingOfChainBit[TestConfiguration::chainLength] = {
    0, 1, 2, 4, 3, 5, 6, 7, 11, 10, 9, 8, 15, 14, 13, 12, 17, 16};

} // namespace

void TestConfiguration::reset() {
    for (unsigned int number = 0; number < chainLength; ++number)
        setting(number) = false;
}

bool& TestConfiguration::setting(unsigned int number) {
    if (number < 2) return settings0to1[number];
    if (number == 2) return setting2;
    if (number < 5) return settings3to4[number - 3];
    if (number == 5) return setting5;
    if (number == 6) return setting6;
    if (number == 7) return setting7;
    if (number < 12) return settings8to11[number - 8];
    if (number < 16) return settings12to15[number - 12];
    return settings16to17[number - 16];
}

const bool& TestConfiguration::setting(unsigned int number) const {
    return const_cast<TestConfiguration*>(this)->setting(number);
}

void TestConfiguration::getChain(std::vector<bool>& chain) const {
    chain.clear();
    for (unsigned int bit = 0; bit < chainLength; ++bit) {
        chain.push_back(setting(settingOfChainBit[bit]));
    }
}

void TestConfiguration::getTestConfigFromChain(std::vector<bool>& chain) {
    if (chain.size() != chainLength) return;
    for (int bit = chainLength - 1; bit >= 0; --bit) {
        setting(settingOfChainBit[bit]) = chain.back();
        chain.pop_back();
    }
}
