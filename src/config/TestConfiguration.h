#pragma once

#include <vector>

// Host model of the probe ASIC's test chain: 18 one-bit settings numbered 0 to
// 17 in declaration order. The procedures that need them set the public members
// directly (the comparator calibration sets settings 13 and 15).
class TestConfiguration {
public:
    static constexpr unsigned int chainLength = 18;

    TestConfiguration() { reset(); }

    void reset();

    // Replaces `chain` with the 18-bit chain.
    void getChain(std::vector<bool>& chain) const;
    // Consumes an 18-bit chain from its end; any other length is ignored and
    // leaves model and vector unchanged.
    void getTestConfigFromChain(std::vector<bool>& chain);

    bool settings0to1[2];   // settings 0, 1
    bool setting2;          // setting 2
    bool settings3to4[2];   // settings 3, 4
    bool setting5;          // setting 5
    bool setting6;          // setting 6
    bool setting7;          // setting 7
    bool settings8to11[4];  // settings 8 to 11
    bool settings12to15[4]; // settings 12 to 15 (13 is [1], 15 is [3])
    bool settings16to17[2]; // settings 16, 17

private:
    bool& setting(unsigned int number);
    const bool& setting(unsigned int number) const;
};
