#include "data/StreamDecoder.h"

#include <cstring>

#include "data/ElectrodeBlock.h"

namespace {

constexpr uint32_t counterMask = 0xFFFFFF;
// A jump forward of fewer blocks than this is a gap (about 280 s at 30000
// blocks a second); a longer one is taken for a jump backward, which only a
// restart of the counters gives.
constexpr uint32_t longestGap = 1u << 23;

int64_t floorMod12(int64_t value) {
    return ((value % 12) + 12) % 12;
}

unsigned int blocksIn(uint16_t present) {
    return static_cast<unsigned int>(__builtin_popcount(present));
}

} // namespace

StreamDecoder::StreamDecoder(BlockSource* source)
    : source_(source), packets_{std::make_unique<CodePacket>(), std::make_unique<CodePacket>()},
      current_(packets_[0].get()), spare_(packets_[1].get()) {
    current_->present = 0;
    spare_->present = 0;
}

StreamDecoder::~StreamDecoder() = default;

const unsigned char* StreamDecoder::take(unsigned int n) {
    if (kept_.empty()) return source_ != nullptr ? source_->take(n) : nullptr;
    if (n <= kept_.size()) {
        joined_.assign(kept_.begin(), kept_.begin() + n);
        kept_.erase(kept_.begin(), kept_.begin() + n);
        return joined_.data();
    }
    // The kept bytes stay kept until the rest has arrived.
    const auto rest = static_cast<unsigned int>(n - kept_.size());
    const unsigned char* more = source_ != nullptr ? source_->take(rest) : nullptr;
    if (more == nullptr) return nullptr;
    joined_.assign(kept_.begin(), kept_.end());
    joined_.insert(joined_.end(), more, more + rest);
    kept_.clear();
    return joined_.data();
}

StreamDecoder::BlockResult StreamDecoder::readBlock(unsigned int place, CodePacket& packet,
                                                    BlockProgress& progress) {
    const unsigned char* block = take(ElectrodeBlock::bytes);
    if (block == nullptr) return BlockResult::NoData;
    progress = ElectrodeBlock::decode(block, place, packet);
    if (progress.passed) {
        ++counts_.blocks;
        if (place == CodePacket::blocks - 1) ++counts_.packets;
        return BlockResult::Decoded;
    }
    if (place > 0) ++counts_.packetsAbandoned;
    if (place > 0 && ElectrodeBlock::validAt(block, 0))
        kept_.assign(block, block + ElectrodeBlock::bytes);
    else
        ++counts_.blocksRejected;
    return BlockResult::Failed;
}

StreamDecoder::Placement StreamDecoder::place(unsigned int index, uint32_t counter) const {
    if (!followCounter_) {
        const bool joins = current_->present != 0 && static_cast<int>(index) > lastPlace_;
        const int64_t base = joins ? current_->position : int64_t(12) * int64_t(packetsBegun_);
        return {base + index, !started_, 0};
    }
    if (!started_) return {counter, true, 0};
    const uint32_t ahead = (counter - expectedCounter_) & counterMask;
    if (ahead == 0) return {expectedPosition_, false, 0};
    if (counter == 0 || ahead >= longestGap) return {counter, true, 0};
    return {expectedPosition_ + ahead, false, ahead};
}

const CodePacket* StreamDecoder::next() {
    for (;;) {
        const unsigned char* block = take(ElectrodeBlock::bytes);
        if (block == nullptr) return source_ != nullptr && source_->ended() ? finish() : nullptr;
        const int index = ElectrodeBlock::index(block);
        const int64_t counter = ElectrodeBlock::blockCounter(block);
        if (index < 0 || index >= static_cast<int>(CodePacket::blocks) || counter < 0) {
            if (reject()) return nullptr;
            continue;
        }
        const auto place = static_cast<unsigned int>(index);
        const Placement at = this->place(place, static_cast<uint32_t>(counter));
        const int64_t base = at.position - place;
        // Within a segment, a block's index follows from its counter: one
        // that does not is damaged.
        if (followCounter_ && !at.newSegment && floorMod12(base) != phase_) {
            if (reject()) return nullptr;
            continue;
        }
        const bool joins = current_->present != 0 && !at.newSegment && current_->position == base &&
                           !current_->has(place);
        CodePacket* target = joins ? current_ : spare_;
        const bool passed = decodeCodes_ ? ElectrodeBlock::decode(block, place, *target).passed
                                         : ElectrodeBlock::validAt(block, place);
        if (!passed) {
            if (reject()) return nullptr;
            continue;
        }
        rejectedInARow_ = 0;

        // The block is delivered: the timeline moves on to it.
        if (at.newSegment) {
            segment_ += started_ ? 1 : 0;
            started_ = true;
            phase_ = floorMod12(base);
            ++counts_.segments;
        }
        if (at.skipped > 0) {
            ++counts_.gaps;
            counts_.blocksLost += at.skipped;
            if (onGap_) onGap_({segment_, expectedPosition_, at.skipped});
        }
        expectedCounter_ = (static_cast<uint32_t>(counter) + 1) & counterMask;
        expectedPosition_ = at.position + 1;
        lastPlace_ = index;

        if (joins) {
            current_->present |= uint16_t(1u << place);
            if (current_->whole()) return deliverCurrent();
            continue;
        }
        target->present = uint16_t(1u << place);
        target->position = base;
        target->segment = segment_;
        ++packetsBegun_;
        std::swap(current_, spare_);
        // The packet it cuts short goes out abandoned; it stays the spare
        // until the next call.
        if (spare_->present != 0) {
            count(*spare_);
            return spare_;
        }
    }
}

bool StreamDecoder::reject() {
    ++counts_.blocksRejected;
    return ++rejectedInARow_ % rejectLimit == 0;
}

void StreamDecoder::count(const CodePacket& delivered) {
    counts_.blocks += blocksIn(delivered.present);
    if (delivered.whole())
        ++counts_.packets;
    else
        ++counts_.packetsAbandoned;
}

const CodePacket* StreamDecoder::deliverCurrent() {
    // The caller holds the delivered packet until its next call, so it
    // becomes the spare and the next packet is begun in the other.
    count(*current_);
    std::swap(current_, spare_);
    current_->present = 0;
    lastPlace_ = -1;
    return spare_;
}

const CodePacket* StreamDecoder::finish() {
    return current_->present != 0 ? deliverCurrent() : nullptr;
}

void StreamDecoder::discard() {
    kept_.clear();
    current_->present = 0;
    lastPlace_ = -1;
    started_ = false;
    rejectedInARow_ = 0;
}

void StreamDecoder::reset() {
    discard();
    counts_ = StreamCounts();
    segment_ = 0;
    packetsBegun_ = 0;
}
