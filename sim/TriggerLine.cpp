#include "sim/TriggerLine.h"

namespace tolmaren_sim {

uint64_t TriggerLine::mark() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ++sequence_;
}

void TriggerLine::fire(unsigned int source, const Timing& timing) {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_ = {++sequence_, source, timing};
    ++pulses_;
}

TriggerLine::Pulse TriggerLine::latest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
}

uint64_t TriggerLine::pulses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pulses_;
}

} // namespace tolmaren_sim
