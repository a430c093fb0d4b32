#pragma once

#include <string>

#include "link/ConnectionLinkPacket.h"

// The neural-data link: a live TCP stream from the basestation or a recorded
// file played back in its place.
class TolmarenConnectionLinkIntf {
public:
    // The largest request rawread serves.
    static constexpr unsigned int maxRawread = 0x100000;

    virtual ~TolmarenConnectionLinkIntf() = default;
    virtual bool write(ConnectionLinkPacket& packet) = 0;
    virtual ConnectionLinkPacket read(unsigned int size) = 0;
    // The next n bytes in the link's own buffer, valid until the next call;
    // null when they cannot be had.
    virtual unsigned char* rawread(unsigned int n) = 0;
    // True when rawread(n) now would leave the bytes of earlier rawreads in
    // place, so that a caller may go on reading them; false when the link
    // may reuse their memory (what a link that cannot tell says).
    virtual bool keepsDelivered(unsigned int) const { return false; }
    virtual void startRecording(const std::string& file) = 0;
    virtual void stopRecording() = 0;
    // Drops every byte the link has received but not delivered, so that the
    // next read starts with what arrives from now on. Nothing is recorded.
    virtual void discard() = 0;
};
