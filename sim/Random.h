#pragma once

#include <cstdint>

#include "sim/Noise.h"

namespace tolmaren_sim {

// Cheap, repeatable random numbers (xorshift64*) for drawing the probe's
// fixed properties from a seed.
class Random {
public:
    explicit Random(uint64_t seed) : state_(Noise::mix(seed) | 1) {}
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform on [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform on [low, high).
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    // Uniform integer in [low, high].
    int integer(int low, int high) {
        return low + static_cast<int>(next() % static_cast<uint64_t>(high - low + 1));
    }

private:
    uint64_t state_;
};

} // namespace tolmaren_sim
