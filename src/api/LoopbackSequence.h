#pragma once

#include <cstdint>

#include "link/ConnectionLinkPacket.h"

// The running numbers that self test 4 sends through the data link's
// loopback, as 32-bit big-endian words: the packets to send, and the check of
// the packets that come back. Both work in slices of a fixed size, so that a
// packet of 32 MiB costs no more than its own bytes.
class LoopbackSequence {
public:
    // The words first, first + 1, ... first + count - 1.
    static ConnectionLinkPacket packet(uint32_t first, uint32_t count);
    // Takes count words off the front of the packet; true when the packet
    // held that many and they are first, first + 1, ... in order.
    static bool take(ConnectionLinkPacket& packet, uint32_t first, uint32_t count);
};
