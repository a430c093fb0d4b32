#include "sim/SignalGenerator.h"

#include <cmath>
#include <iterator>

namespace tolmaren_sim {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double frequencies[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000};

// The host's DC level table: DAC code and the millivolts its text names.
struct Level {
    uint16_t code;
    double millivolts;
};
constexpr Level levels[] = {{0, 1.59},    {2925, 150},  {3933, 200},   {7951, 400},
                            {8954, 450},  {9953, 500},  {11960, 600},  {13968, 700},
                            {14970, 750}, {15980, 800}, {19969, 1000}, {20977, 1050}};

unsigned int form(uint8_t control) {
    return (control >> 2) & 3;
}

} // namespace

bool SignalGenerator::active() const {
    const unsigned int channel = registers_[0] & 3;
    return channel == 1 || channel == 2;
}

bool SignalGenerator::sine() const {
    return form(registers_[0]) != 0;
}

uint16_t SignalGenerator::dcCode() const {
    return static_cast<uint16_t>((registers_[1] << 8) | registers_[2]);
}

double SignalGenerator::frequency() const {
    const unsigned int setting = registers_[0] >> 4;
    if (!sine() || setting >= std::size(frequencies)) return 0;
    return frequencies[setting];
}

double SignalGenerator::sinePeak() const {
    if (frequency() == 0) return 0;
    const double step = form(registers_[0]) == 2 ? 10e-3 : 1e-3;
    return (registers_[3] & 0xF) * step / 2;
}

double SignalGenerator::volts(double seconds) const {
    if (!active()) return 0;
    return dcVolts() + sinePeak() * std::sin(2 * pi * frequency() * seconds);
}

double SignalGenerator::dcVolts(uint16_t code) {
    std::size_t upper = 1;
    while (upper + 1 < std::size(levels) && levels[upper].code < code)
        ++upper;
    const Level& a = levels[upper - 1];
    const Level& b = levels[upper];
    const double millivolts =
        a.millivolts + (b.millivolts - a.millivolts) * (double(code) - a.code) / (b.code - a.code);
    return millivolts * 1e-3;
}

} // namespace tolmaren_sim
