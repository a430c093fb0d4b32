#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "link/ConnectionLinkIntf.h"
#include "link/DiagnosticsSink.h"

// HDLC-like byte stuffing over the link below: frames open and close with the
// flag 0x7E, and 0x7D/0x7E inside a frame travel as 0x7D followed by the byte
// XOR 0x20. There are no address, control or check fields.
class HdlcConnectionLink : public ConnectionLinkIntf {
public:
    static constexpr unsigned char flag = 0x7E;
    static constexpr unsigned char controlEscape = 0x7D;
    static constexpr unsigned char escapeMask = 0x20;
    // One read consumes at most this many bytes from the link below. The
    // longest legitimate frame, a 65536-word burst-read reply with every byte
    // escaped, is about half of it; a peer that never closes its frame is cut
    // off here instead of filling memory.
    static constexpr unsigned int maxBytesPerRead = 1u << 20;

    // Takes ownership of the link below. A dropped frame is reported to the
    // process-wide diagnostics sink, or to the one given.
    explicit HdlcConnectionLink(ConnectionLinkIntf* below);
    HdlcConnectionLink(ConnectionLinkIntf* below, DiagnosticsSink& diagnostics);
    HdlcConnectionLink(const HdlcConnectionLink&) = delete;
    HdlcConnectionLink& operator=(const HdlcConnectionLink&) = delete;

    // Frames the packet in place and writes it in one call below.
    bool write(ConnectionLinkPacket& packet) override;
    // Frames the bytes and writes the frame in one call below.
    bool writeBytes(const unsigned char* bytes, std::size_t length) override;
    // The payload of the next frame; empty when the link below times out (a
    // partly received frame is dropped) or a frame runs past maxBytesPerRead.
    // The argument is not used. Reads the link below with readUntilInto(flag).
    ConnectionLinkPacket read(unsigned int length) override;
    void readInto(unsigned int length, std::vector<unsigned char>& payload) override;

protected:
    // Every outgoing frame is padded with further flags to a whole number of
    // frameUnit bytes.
    HdlcConnectionLink(ConnectionLinkIntf* below, DiagnosticsSink& diagnostics,
                       unsigned int frameUnit);

private:
    // Escapes the bytes into framed_, with a flag at each end and the
    // padding; the frame's length.
    template <typename Iterator>
    std::size_t frame(Iterator first, Iterator last, std::size_t length);

    std::unique_ptr<ConnectionLinkIntf> below_;
    DiagnosticsSink& diagnostics_;
    const unsigned int frameUnit_;
    // No flag seen yet since construction: bytes are discarded until one comes.
    bool hunting_ = true;
    // Kept from call to call, so that a frame costs no allocation.
    std::vector<unsigned char> framed_;   // the frame being written
    std::vector<unsigned char> received_; // the bytes of one read below
    std::vector<unsigned char> payload_;  // the frame being read
};
