#pragma once

#include <cstdint>

#include "data/BlockProgress.h"
#include "data/CodePacket.h"

// The 612-byte electrode block of the neural stream, the one place that
// knows its layout: a header word (marker 01, block index, start trigger,
// synchronization value), counter word 0, 11 LFP data words, counter words 1
// to 12 and 128 AP data words, every word most significant byte first.
class ElectrodeBlock {
public:
    static constexpr unsigned int bytes = 612;

    // The block's index when its header word carries the marker 01, else -1.
    static int index(const unsigned char* block);
    // Counter word 0's value when the word carries its marker, else -1.
    static int64_t blockCounter(const unsigned char* block);
    // True when every check of the block passes with its index equal to place.
    static bool validAt(const unsigned char* block, unsigned int place);

    // Decodes the block into place `place` of the packet, checking as it goes:
    // the header (marker 01 and index equal to place), counter word 0, the
    // LFP data words (marker 00), counter words 1 to 12 (marker 11, bit 29
    // clear) and the AP data words. The synchronization value and start
    // trigger are always stored; the other fields up to the first failing
    // check. Does not touch `present`.
    static BlockProgress decode(const unsigned char* block, unsigned int place, CodePacket& packet);
};
