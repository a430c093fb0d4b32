#include "sim/BistCounters.h"

namespace tolmaren_sim {

void BistCounters::advance(Clock::time_point now, const Conditions& conditions) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - last_);
    last_ = now;
    if (elapsed.count() <= 0) return;
    const auto words = static_cast<uint64_t>(elapsed.count());
    if (conditions.test7Running) test7Checked_ += words;
    if (!conditions.dataRunning) return;
    (conditions.variantA ? test9a_ : test9b_) += words;
    if (conditions.variantA != conditions.testPattern) test9Mismatched_ += words;
}

void BistCounters::reset() {
    test7Checked_ = test9a_ = test9b_ = test9Mismatched_ = 0;
}

} // namespace tolmaren_sim
