#pragma once

#include <cstdint>

#include "link/ConnectionLinkPacket.h"

// The running numbers that self test 4 sends through the data link's
// loopback, as 32-bit big-endian words: the packets to send, and the check of
// the packets that come back. Both work in slices of a fixed size, so that a
// packet of 32 MiB costs no more memory than its own bytes.
class LoopbackSequence {
public:
    // The words first, first + 1, ... first + count - 1.
    static ConnectionLinkPacket packet(uint32_t first, uint32_t count);
    // Whether the packet holds exactly the words first, first + 1, ...
    // first + count - 1.
    static bool holds(const ConnectionLinkPacket& packet, uint32_t first, uint32_t count);
};
