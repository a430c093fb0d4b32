#include "sim/DataFifo.h"

#include <algorithm>

namespace tolmaren_sim {

void DataFifo::reset(unsigned int unitBytes, uint64_t firstSeq) {
    unitBytes_ = unitBytes == 0 ? 1 : unitBytes;
    nextSeq_ = firstSeq;
    units_ = 0;
    runs_.clear();
}

uint64_t DataFifo::produce(uint64_t count) {
    const uint64_t room = capacity_ / unitBytes_ - units_;
    const uint64_t kept = std::min(count, room);
    if (kept > 0) {
        if (!runs_.empty() && runs_.back().first + runs_.back().second == nextSeq_)
            runs_.back().second += kept;
        else
            runs_.emplace_back(nextSeq_, kept);
        units_ += kept;
    }
    // Dropped units still took their place in the probe's sequence.
    nextSeq_ += count;
    return count - kept;
}

std::pair<uint64_t, uint64_t> DataFifo::front() const {
    if (runs_.empty()) return {nextSeq_, 0};
    return runs_.front();
}

void DataFifo::consume(uint64_t count) {
    if (runs_.empty()) return;
    auto& run = runs_.front();
    count = std::min(count, run.second);
    run.first += count;
    run.second -= count;
    units_ -= count;
    if (run.second == 0) runs_.pop_front();
}

uint32_t DataFifo::fillRegister() const {
    if (capacity_ == 0) return 0;
    const uint64_t full = uint64_t(1) << 28;
    return static_cast<uint32_t>(std::min<uint64_t>(full, bytes() * full / capacity_));
}

} // namespace tolmaren_sim
