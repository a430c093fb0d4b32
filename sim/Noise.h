#pragma once

#include <cstdint>

namespace tolmaren_sim {

// Repeatable noise computed from a stream's seed and a sample's index alone,
// so that any stretch of a signal can be rendered by itself, in any order.
class Noise {
public:
    // SplitMix64's finaliser: a well-mixed 64-bit value of x.
    static uint64_t mix(uint64_t x) {
        x += 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    }
    // 64 random bits of sample index of a stream.
    static uint64_t bits(uint64_t seed, uint64_t index) {
        return mix(seed * 0xD1B54A32D192ED03ull + index);
    }
    // A standard normal deviate, approximated by the sum of four 16-bit
    // uniforms (mean 2, variance 1/3 before scaling).
    static float normal(uint64_t seed, uint64_t index) {
        const uint64_t r = bits(seed, index);
        const uint32_t sum =
            static_cast<uint32_t>(r & 0xFFFF) + static_cast<uint32_t>((r >> 16) & 0xFFFF) +
            static_cast<uint32_t>((r >> 32) & 0xFFFF) + static_cast<uint32_t>(r >> 48);
        return (static_cast<float>(sum) * (1.0f / 65536.0f) - 2.0f) * 1.7320508f;
    }
};

} // namespace tolmaren_sim
