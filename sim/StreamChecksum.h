#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tolmaren_sim {

// A running checksum of a byte stream fed in pieces of any size: Fletcher's
// two sums modulo 2^64 over the stream's 8-byte words (in the host's byte order,
// the last one padded with zeros), and the byte count. A byte changed, lost, added or
// moved changes it, and pieces fed in any split give the same value. Words
// rather than bytes keep it far faster than the data port sends.
class StreamChecksum {
public:
    void add(const uint8_t* bytes, std::size_t n) {
        bytes_ += n;
        if (pendingBytes_ > 0) {
            const std::size_t take = n < 8 - pendingBytes_ ? n : 8 - pendingBytes_;
            std::memcpy(pending_ + pendingBytes_, bytes, take);
            pendingBytes_ += take;
            bytes += take;
            n -= take;
            if (pendingBytes_ < 8) return;
            addWord(pending_);
            pendingBytes_ = 0;
        }
        for (; n >= 8; bytes += 8, n -= 8)
            addWord(bytes);
        std::memcpy(pending_, bytes, n);
        pendingBytes_ = n;
    }

    uint64_t bytes() const { return bytes_; }
    uint64_t value() const {
        StreamChecksum whole = *this;
        if (whole.pendingBytes_ > 0) {
            std::memset(whole.pending_ + whole.pendingBytes_, 0, 8 - whole.pendingBytes_);
            whole.addWord(whole.pending_);
        }
        return whole.sumOfSums_ ^ (whole.sum_ * 0x9E3779B97F4A7C15u);
    }
    bool operator==(const StreamChecksum& other) const {
        return bytes_ == other.bytes_ && value() == other.value();
    }
    bool operator!=(const StreamChecksum& other) const { return !(*this == other); }

private:
    void addWord(const uint8_t* bytes) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        sum_ += word;
        sumOfSums_ += sum_;
    }

    uint64_t bytes_ = 0;
    uint64_t sum_ = 0;
    uint64_t sumOfSums_ = 0;
    uint8_t pending_[8] = {};
    std::size_t pendingBytes_ = 0;
};

} // namespace tolmaren_sim
