#pragma once

#include <chrono>

namespace tolmaren_sim {

// The basestation's memory test: once started it stays busy for its
// duration, then reports done, with an error only when one is injected.
class MemoryTest {
public:
    using Clock = std::chrono::steady_clock;

    explicit MemoryTest(std::chrono::milliseconds duration) : duration_(duration) {}

    void start(Clock::time_point now) {
        started_ = true;
        end_ = now + duration_;
    }
    void reset() { started_ = false; }
    bool busy(Clock::time_point now) const { return started_ && now < end_; }
    bool failed(Clock::time_point now, bool errorInjected) const {
        return started_ && !busy(now) && errorInjected;
    }

private:
    std::chrono::milliseconds duration_;
    bool started_ = false;
    Clock::time_point end_{};
};

} // namespace tolmaren_sim
