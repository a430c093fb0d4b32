#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "link/ConnectionLinkPacket.h"

// A link that moves whole packets. Links stack: each wraps the one below.
// Time-outs are results (false, an empty packet); failures are exceptions.
class ConnectionLinkIntf {
public:
    virtual ~ConnectionLinkIntf() = default;
    // True when sent, false on a time-out. Framing links rewrite the packet.
    virtual bool write(ConnectionLinkPacket& packet) = 0;
    // As write, for bytes in contiguous memory, which stay as they are. By
    // default they go to write() as a packet.
    virtual bool writeBytes(const unsigned char* bytes, std::size_t length) {
        ConnectionLinkPacket packet;
        packet.assign(bytes, bytes + length);
        return write(packet);
    }
    // An empty packet means nothing arrived in time; what the argument means
    // is up to each link.
    virtual ConnectionLinkPacket read(unsigned int length) = 0;
    // The packet read() gives, into `bytes` (replaced). By default through
    // read().
    virtual void readInto(unsigned int length, std::vector<unsigned char>& bytes) {
        const ConnectionLinkPacket packet = read(length);
        bytes.assign(packet.begin(), packet.end());
    }
    // For a reader that cannot know how long its packet is: the bytes that
    // have arrived, at least one and at most maxLength, ending with the first
    // delimiter among them, if any; what follows the delimiter is left for the
    // next read. Empty when nothing arrives in time. By default one byte.
    virtual ConnectionLinkPacket readUntil(unsigned char /*delimiter*/,
                                           unsigned int /*maxLength*/) {
        return read(1);
    }
    // As readUntil, into the caller's buffer of at least maxLength bytes:
    // their count, 0 when nothing arrives in time. By default through
    // readUntil().
    virtual unsigned int readUntilInto(unsigned char delimiter, unsigned char* bytes,
                                       unsigned int maxLength) {
        const ConnectionLinkPacket packet = readUntil(delimiter, maxLength);
        const auto count =
            static_cast<unsigned int>(std::min<std::size_t>(packet.size(), maxLength));
        std::copy_n(packet.begin(), count, bytes);
        return count;
    }
};
