#pragma once

#include <cstdint>

// What a stream decoder found, per block and per packet. Every reader of the
// neural stream reports these, with these meanings.
struct StreamCounts {
    // Whole packets delivered: all 12 blocks present and passing their checks.
    uint64_t packets = 0;
    // Blocks delivered, in whole packets and in abandoned ones.
    uint64_t blocks = 0;
    // Blocks that failed their checks (a marker, the block index or a
    // reserved bit) and were thrown away.
    uint64_t blocksRejected = 0;
    // Packets delivered with some but not all of their blocks: the rest were
    // rejected or never arrived.
    uint64_t packetsAbandoned = 0;
    // With the block counter followed: jumps of the counter between two
    // delivered blocks of one segment, and the blocks those jumps skip (lost
    // before the host, or rejected by it).
    uint64_t gaps = 0;
    uint64_t blocksLost = 0;
    // Runs of continuous counters: 1 once a block was delivered, and one more
    // for every restart of the counters.
    uint64_t segments = 0;

    StreamCounts& operator-=(const StreamCounts& earlier) {
        packets -= earlier.packets;
        blocks -= earlier.blocks;
        blocksRejected -= earlier.blocksRejected;
        packetsAbandoned -= earlier.packetsAbandoned;
        gaps -= earlier.gaps;
        blocksLost -= earlier.blocksLost;
        segments -= earlier.segments;
        return *this;
    }
    bool operator==(const StreamCounts& other) const {
        return packets == other.packets && blocks == other.blocks &&
               blocksRejected == other.blocksRejected &&
               packetsAbandoned == other.packetsAbandoned && gaps == other.gaps &&
               blocksLost == other.blocksLost && segments == other.segments;
    }
    bool operator!=(const StreamCounts& other) const { return !(*this == other); }
};
