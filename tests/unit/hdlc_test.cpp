// Framing: the exact bytes of outgoing frames; the receiver's hunting, flag
// skipping and unstuffing over the TCP link's receive buffer, whatever the
// segments the bytes arrive in, and its limit on runaway input.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>

#include "common/ScriptedLink.h"
#include "link/HdlcConnectionLink32.h"
#include "link/TcpConnectionLink.h"

TEST(HdlcWrite, StuffsFramesInPlaceAndPadsToWholeWords) {
    const std::tuple<bool, Bytes, Bytes> cases[] = {
        // padded, payload, frame
        {false, {0x01, 0x7E, 0x02, 0x7D}, {0x7E, 0x01, 0x7D, 0x5E, 0x02, 0x7D, 0x5D, 0x7E}},
        {true, {0x01, 0x02}, {0x7E, 0x01, 0x02, 0x7E}},
        {true, {0x01, 0x02, 0x03}, {0x7E, 0x01, 0x02, 0x03, 0x7E, 0x7E, 0x7E, 0x7E}},
        {true, {}, {0x7E, 0x7E, 0x7E, 0x7E}},
    };
    for (const auto& [padded, payload, wire] : cases) {
        auto* below = new ScriptedLink;
        std::unique_ptr<ConnectionLinkIntf> link(padded ? new HdlcConnectionLink32(below)
                                                        : new HdlcConnectionLink(below));
        below->writeResult = padded; // the link below's result is passed on
        ConnectionLinkPacket packet = packetOf(payload);
        EXPECT_EQ(link->write(packet), padded);
        EXPECT_EQ(below->written, std::vector<Bytes>{wire});
        EXPECT_EQ(bytesOf(packet), wire);
    }
}

// The connection under the TCP link: each receive takes what is left of the
// next segment, as much as fits; an empty segment, and every receive after
// the last, is a wait that times out.
struct SegmentedConnection : morvek::FileDescriptor {
    unsigned int readAvailable(char* buffer, unsigned int length) override {
        if (segments.empty()) return 0;
        Bytes& segment = segments.front();
        const auto count = static_cast<unsigned int>(std::min<std::size_t>(length, segment.size()));
        std::copy_n(segment.begin(), count, buffer);
        segment.erase(segment.begin(), segment.begin() + count);
        if (segment.empty()) segments.pop_front();
        return count;
    }
    std::deque<Bytes> segments;
};

// The configuration link's receiving half: framing over the TCP link's buffer.
struct Receiver {
    Receiver() : tcp(new TcpConnectionLink(connection)), hdlc(tcp) {}
    SegmentedConnection* connection = new SegmentedConnection;
    TcpConnectionLink* tcp;
    HdlcConnectionLink32 hdlc;
};

TEST(HdlcRead, HuntsSkipsFillUnstuffsAndKeepsWhatFollowsAFrame) {
    const Bytes timeOut;
    const std::vector<Bytes> none;
    // On a fresh link or not, the segments arriving, then the bytes read:
    // the payload of a frame or, where a count is given, that many bytes
    // straight from the TCP link. Empty: nothing arrived whole, or an empty
    // frame.
    const std::tuple<bool, std::vector<Bytes>, int, Bytes> steps[] = {
        // Two frames in one segment, behind noise and fill.
        {true,
         {{0x55, 0xAA, 0x7E, 0x7E, 0x01, 0x7D, 0x5E, 0x7E, 0x7E, 0x02, 0x7E}},
         0,
         {0x01, 0x7E}},
        {false, none, 0, {0x02}}, // kept: nothing more arrived
        // A frame split across many segments, an escape apart from its byte.
        {false, {{0x7E}, {0x03}, {0x7D}, {0x5D, 0x04}, {0x05, 0x7E}}, 0, {0x03, 0x7D, 0x04, 0x05}},
        {false, {{0x06, 0x7E, 0x07, 0x08, 0x7E, 0x09}}, 0, {0x06}}, // synchronised: no opening flag
        {false, none, 2, {0x07, 0x08}}, // the TCP link's own reads share the buffer
        {false, {{0x0A}, {0x0B, 0x0C}}, 3, {0x7E, 0x09, 0x0A}},
        {false, {{0x0D, 0x7E}}, 0, {0x0B, 0x0C, 0x0D}},
        {false, {{0x04, 0x7D, 0x7E}}, 0, {0x04}}, // an escape before a flag is dropped
        {false, {{0x7D, 0x7D, 0x41, 0x42, 0x7E}}, 0, {0x61, 0x42}}, // only the last escape counts
        {false, {{0x7E, 0x7D, 0x7E}}, 0, {}},                       // empty after unstuffing
        // A time-out in mid-frame drops the part received; the rest of the
        // frame is read as the next one.
        {false, {{0x7E, 0x01}, {0x02}, timeOut, {0x03, 0x7E}}, 0, {}},
        {false, none, 0, {0x03}},
        {false, {{0x7E, 0x0E}, timeOut, {0x0F}}, 3, {}}, // and drops the part of a TCP read too
        {false, none, 1, {0x0F}},
        {true, {{0x10, 0x20}}, 0, {}}, // silence before any flag: still hunting after it
        {false, {{0x30, 0x7E, 0x40, 0x7E}}, 0, {0x40}},
    };
    std::unique_ptr<Receiver> link;
    for (const auto& [fresh, segments, count, read] : steps) {
        if (fresh) link = std::make_unique<Receiver>();
        auto& arriving = link->connection->segments;
        arriving.insert(arriving.end(), segments.begin(), segments.end());
        const ConnectionLinkPacket packet =
            count == 0 ? link->hdlc.read(0) : link->tcp->read(count);
        EXPECT_EQ(bytesOf(packet), read) << "step with " << segments.size() << " segments";
    }
}

TEST(HdlcRead, RunawayInputIsCutOffAtTheReadLimit) {
    const std::size_t limit = HdlcConnectionLink::maxBytesPerRead;
    std::vector<std::pair<Bytes, std::size_t>> inputs; // and the first payload's size
    // Frames of the limit in all are read whole; longer ones are dropped and
    // their rest discarded up to the next flag.
    for (std::size_t payload : {limit - 2, limit - 1, limit + 10}) {
        Bytes wire(payload + 2, 0x33);
        wire.front() = wire.back() = 0x7E;
        inputs.push_back({wire, payload + 2 <= limit ? payload : 0});
    }
    for (unsigned char fill : {0x33, 0x7E}) // noise while hunting, fill flags
        inputs.push_back({Bytes(limit + 10, fill), 0});
    for (const auto& [wire, first] : inputs) {
        Receiver link;
        link.connection->segments = {wire, {0x7E, 0x05, 0x7E}};
        EXPECT_EQ(link.hdlc.read(0).size(), first) << wire.size();
        EXPECT_EQ(bytesOf(link.hdlc.read(0)), Bytes{0x05}) << wire.size();
    }
}
