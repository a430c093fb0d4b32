#pragma once

#include <cstdint>

// One electrode packet as the 10-bit ADC codes it carries (0 to 1023, the
// ADC's zero at mid-scale 512): 12 blocks of 384 AP samples, one LFP sample
// per channel, and per block its 13 counters (0 the block counter, 1 to 12
// the conversion slots), synchronization value and start-trigger bit; and
// where it lies on the stream's timeline. The stream decoder fills it.
struct CodePacket {
    static constexpr unsigned int blocks = 12;
    static constexpr unsigned int channels = 384;
    static constexpr unsigned int counters = 13;
    static constexpr uint16_t allBlocks = (1u << blocks) - 1;

    uint16_t ap[blocks][channels];
    uint16_t lfp[channels];
    uint32_t counter[blocks][counters];
    uint16_t synchronization[blocks];
    bool startTrigger[blocks];

    // Bit b: the block of place b arrived and passed its checks. The fields
    // of an absent block hold stale values.
    uint16_t present;
    // The timeline position of place 0: with the block counter followed, the
    // block counter of place 0 unwrapped past its 24 bits (it may lie before
    // the segment's first block when the segment starts mid-packet); else 12
    // times the packets delivered before it.
    int64_t position;
    // Runs of continuous block counters; a restart of the counters (a
    // datapath reset) begins the next segment.
    uint32_t segment;

    bool whole() const { return present == allBlocks; }
    bool has(unsigned int place) const { return (present >> place) & 1u; }
    // The place whose block carries the LFP sample of channel c: block b
    // carries channels 2b and 2b + 1 of every group of 24.
    static unsigned int lfpPlace(unsigned int channel) { return channel % 24 / 2; }
};
