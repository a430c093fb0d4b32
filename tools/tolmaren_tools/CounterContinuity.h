#pragma once

#include <cstdint>

namespace tolmaren_tools {

// Dropped data shows as a jump in the block counter (counter word 0), which
// counts blocks modulo 2^24. Counts the jumps in a sequence of blocks.
class CounterContinuity {
public:
    void next(uint32_t counter);
    uint64_t gaps() const { return gaps_; }

private:
    bool started_ = false;
    uint32_t last_ = 0;
    uint64_t gaps_ = 0;
};

} // namespace tolmaren_tools
