#include "sim/RigClock.h"

namespace tolmaren_sim {

RigClock::time_point RigClock::now() {
    std::lock_guard<std::mutex> lock(mutex_);
    const time_point real = Clock::now();
    if (real > last_) {
        const Clock::duration away = real - last_;
        if (away > stallAllowance) starved_ += away - stallAllowance;
        last_ = real;
    }
    return last_ - starved_;
}

} // namespace tolmaren_sim
