#pragma once

#include <vector>

#include "link/ConnectionLinkPacket.h"

// Plain byte vectors for comparing packets in tests.
using Bytes = std::vector<unsigned char>;

inline Bytes bytesOf(const ConnectionLinkPacket& packet) {
    return Bytes(packet.begin(), packet.end());
}

inline ConnectionLinkPacket packetOf(const Bytes& bytes) {
    ConnectionLinkPacket packet;
    packet.insert(packet.end(), bytes.begin(), bytes.end());
    return packet;
}
