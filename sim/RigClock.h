#pragma once

#include <chrono>
#include <mutex>

namespace tolmaren_sim {

// The time the probes of a rig go by: the steady clock, less the time the
// whole simulator was starved of processor time. Real-time pacing owes no
// units for a starved stretch; since every data stream of a rig reads the
// same clock, their streams never drift apart on a busy machine. A stretch
// counts as starved where no one read the clock for longer than
// stallAllowance (the data threads read it about every millisecond while
// they stream). Thread-safe.
class RigClock {
public:
    using Clock = std::chrono::steady_clock;
    using time_point = Clock::time_point;

    static constexpr std::chrono::milliseconds stallAllowance{20};

    RigClock() : last_(Clock::now()) {}
    RigClock(const RigClock&) = delete;
    RigClock& operator=(const RigClock&) = delete;

    // Never earlier than a time it returned before.
    time_point now();

private:
    std::mutex mutex_;
    time_point last_; // steady time of the latest reading
    Clock::duration starved_{0};
};

} // namespace tolmaren_sim
