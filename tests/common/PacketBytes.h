#pragma once

#include <exception>
#include <string>
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

// The text of the exception of type E that f throws, or "no exception"; an
// exception of another type passes through and fails the test.
template <typename E = std::exception, typename F> std::string messageOf(F&& f) try {
    f();
    return "no exception";
} catch (const E& e) {
    return e.what();
}
