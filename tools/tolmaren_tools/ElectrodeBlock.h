#pragma once

#include "tolmaren_tools/CodePacket.h"

namespace tolmaren_tools {

// The 612-byte electrode block of the data stream: a header word (marker 01,
// block index, start trigger, synchronization), counter word 0, 11 LFP data
// words, counter words 1 to 12 and 128 AP data words, all big-endian.
class ElectrodeBlock {
public:
    static constexpr unsigned int bytes = 612;

    // Decodes the block into place `place` (0 to 11) of the packet. False
    // when its index is not `place` or a marker or reserved bit is wrong;
    // the packet's fields for that place may then be partly overwritten.
    static bool decode(const unsigned char* block, unsigned int place, CodePacket& packet);
};

} // namespace tolmaren_tools
