#pragma once

#include <cstddef>
#include <cstdint>

namespace tolmaren_sim {

// A running checksum of a byte stream fed in pieces of any size: Fletcher's
// two sums of its bytes modulo 2^64, so that a byte changed, lost, added or
// moved changes it, and the byte count. Pieces fed in any split give the same
// value.
class StreamChecksum {
public:
    void add(const uint8_t* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            sum_ += bytes[i];
            sumOfSums_ += sum_;
        }
        bytes_ += n;
    }

    uint64_t bytes() const { return bytes_; }
    uint64_t value() const { return sumOfSums_ ^ (sum_ * 0x9E3779B97F4A7C15u); }
    bool operator==(const StreamChecksum& other) const {
        return bytes_ == other.bytes_ && sum_ == other.sum_ && sumOfSums_ == other.sumOfSums_;
    }
    bool operator!=(const StreamChecksum& other) const { return !(*this == other); }

private:
    uint64_t bytes_ = 0;
    uint64_t sum_ = 0;
    uint64_t sumOfSums_ = 0;
};

} // namespace tolmaren_sim
