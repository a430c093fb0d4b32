#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/BlockProgress.h"
#include "data/BlockSource.h"
#include "data/CodePacket.h"
#include "data/StreamCounts.h"

// The one decoder of the neural stream in electrode data mode: it takes
// 612-byte blocks from a source, checks and decodes them into codes, and
// keeps the counts. Two ways to read:
// - readBlock(), one block into a given place, as the facade's packet reads
//   take them: a block that is not the one expected fails and is consumed;
//   only a valid block 0 that cuts a packet short is kept to start the next;
// - next(), packets assembled from the blocks that pass their checks, each
//   placed by its own index (and, with the block counter followed, by its
//   counter), whole or with the blocks that arrived of it, in stream order.
// A pause of a live source costs nothing: next() keeps its packet in progress
// and goes on with it once blocks come again.
class StreamDecoder {
public:
    // Blocks that never arrived (or were rejected) between two delivered
    // blocks of one segment: the first lost block counter (unwrapped, as
    // CodePacket::position) and how many.
    struct Gap {
        uint32_t segment;
        int64_t firstLost;
        uint64_t blocks;
    };
    enum class BlockResult { Decoded, Failed, NoData };

    explicit StreamDecoder(BlockSource* source = nullptr);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    void setSource(BlockSource* source) { source_ = source; }
    BlockSource* source() const { return source_; }

    // Whether counter word 0 counts blocks, modulo 2^24, across the stream:
    // the basestation's counter does, but nothing in the stream's checks says
    // so. This is the one place that assumption is made. With it (the
    // default) next() places blocks by their counters, reports every jump as
    // a gap, unwraps the 24-bit counter and begins a new segment where the
    // counters restart; a packet that mixes blocks of two packets (a splice)
    // comes out as two abandoned ones, and a block whose index does not
    // follow from its counter (the segment's first block sets where packets
    // begin) is rejected. Without it, blocks are placed by index alone.
    // readBlock() never looks at counters.
    void followBlockCounter(bool on) { followCounter_ = on; }
    // Whether next() decodes the codes of the blocks into its packets (the
    // default), or only checks the blocks, for a reader that only counts: the
    // checks, the placement and the counts are the same either way, and
    // without the codes a packet's fields other than present, position and
    // segment hold stale values.
    void decodeCodes(bool on) { decodeCodes_ = on; }
    bool decodesCodes() const { return decodeCodes_; }
    // Called for every gap as next() finds it.
    void onGap(std::function<void(const Gap&)> listener) { onGap_ = std::move(listener); }

    // One block into place `place` of `packet`, with the checks of
    // ElectrodeBlock::decode (the block index must equal place). NoData: the
    // source had none now. A block that fails is consumed, unless it is a
    // valid block 0 that arrived at a place above 0: it then starts the next
    // read, so that a packet cut short costs no second packet.
    BlockResult readBlock(unsigned int place, CodePacket& packet, BlockProgress& progress);

    // The next packet, whole or abandoned (CodePacket::present says which
    // blocks it holds), in stream order; null when the source has no block
    // now, or after rejectLimit blocks in a row failed their checks (a
    // stream of nothing but damage must not hold its reader forever). At the
    // end of the source, the packet still in progress comes out first. The
    // packet is the decoder's own, valid until the next call.
    const CodePacket* next();
    // One second of blocks at the basestation's rate.
    static constexpr unsigned int rejectLimit = 30000;
    // Blocks rejected since the last one delivered.
    unsigned int rejectedInARow() const { return rejectedInARow_; }
    // The packet in progress, if it holds a block, as an abandoned packet:
    // for a reader that stops while a live source pauses or after it failed.
    const CodePacket* finish();

    // The next n bytes of the stream undecoded (a kept block first), valid
    // until the next call; null when they cannot be had now.
    const unsigned char* take(unsigned int n);
    // Forgets the kept block and the packet in progress: after the stream
    // was drained, what follows starts afresh (a new segment).
    void discard();
    // discard(), and the counts back to zero.
    void reset();

    // True while a packet is in progress or a block is kept: what the source
    // delivered so far is not yet all accounted for in the counts.
    bool holding() const { return current_->present != 0 || !kept_.empty(); }
    // True once the source has ended and nothing is left in progress.
    bool ended() const {
        return (source_ == nullptr || source_->ended()) && current_->present == 0;
    }

    const StreamCounts& counts() const { return counts_; }

private:
    // Counts a rejected block; true when next() is to give up for now.
    bool reject();
    void count(const CodePacket& delivered);
    const CodePacket* deliverCurrent();
    // Where a block with this index and counter goes: its position, whether it
    // begins a new segment, and the blocks skipped since the last one.
    struct Placement {
        int64_t position;
        bool newSegment;
        uint64_t skipped;
    };
    Placement place(unsigned int index, uint32_t counter) const;

    BlockSource* source_;
    bool followCounter_ = true;
    bool decodeCodes_ = true;
    std::function<void(const Gap&)> onGap_;
    StreamCounts counts_;

    // A block kept for the next read, and the bytes of a read that spans it.
    std::vector<unsigned char> kept_;
    std::vector<unsigned char> joined_;

    std::unique_ptr<CodePacket> packets_[2];
    CodePacket* current_; // in progress
    CodePacket* spare_;   // the one delivered last
    int lastPlace_ = -1;
    bool started_ = false;
    uint32_t expectedCounter_ = 0;
    int64_t expectedPosition_ = 0;
    int64_t phase_ = 0; // where packets begin on the timeline, modulo 12
    uint32_t segment_ = 0;
    uint64_t packetsBegun_ = 0;
    unsigned int rejectedInARow_ = 0;
};
