// Framing and transactions: the exact bytes of outgoing frames, the receiver's
// hunting, flag skipping and unstuffing, its limits on hostile input, and the
// request/response pairing on top.
#include <gtest/gtest.h>

#include "common/LoopbackPeer.h"
#include "common/PacketBytes.h"
#include "common/ScriptedLink.h"
#include "link/HdlcConnectionLink.h"
#include "link/HdlcConnectionLink32.h"
#include "link/RequestResponseLink.h"
#include "link/TcpConnectionLink.h"

namespace {

// The link owns its ScriptedLink; the test keeps a view of it.
template <class Link> struct Framed {
    ScriptedLink* below = new ScriptedLink;
    Link link{below};
};

TEST(HdlcWrite, StuffsFlagAndEscapeAndFramesInPlace) {
    Framed<HdlcConnectionLink> f;
    ConnectionLinkPacket packet = packetOf({0x01, 0x7E, 0x02, 0x7D});
    EXPECT_TRUE(f.link.write(packet));
    const Bytes expected{0x7E, 0x01, 0x7D, 0x5E, 0x02, 0x7D, 0x5D, 0x7E};
    ASSERT_EQ(f.below->written().size(), 1u);
    EXPECT_EQ(f.below->written()[0], expected);
    EXPECT_EQ(bytesOf(packet), expected);

    // An unpadded empty frame is just the two flags.
    ConnectionLinkPacket empty;
    f.link.write(empty);
    EXPECT_EQ(f.below->written()[1], (Bytes{0x7E, 0x7E}));
}

TEST(HdlcWrite, PaddedVariantFillsWholeWordsWithFlags) {
    Framed<HdlcConnectionLink32> f;
    ConnectionLinkPacket two = packetOf({0x01, 0x02});
    ConnectionLinkPacket three = packetOf({0x01, 0x02, 0x03});
    ConnectionLinkPacket empty;
    ConnectionLinkPacket stuffed = packetOf({0x7E, 0x7D});
    f.link.write(two);
    f.link.write(three);
    f.link.write(empty);
    f.link.write(stuffed);
    const auto& w = f.below->written();
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[0], (Bytes{0x7E, 0x01, 0x02, 0x7E}));
    EXPECT_EQ(w[1], (Bytes{0x7E, 0x01, 0x02, 0x03, 0x7E, 0x7E, 0x7E, 0x7E}));
    EXPECT_EQ(w[2], (Bytes{0x7E, 0x7E, 0x7E, 0x7E}));
    EXPECT_EQ(w[3], (Bytes{0x7E, 0x7D, 0x5E, 0x7D, 0x5D, 0x7E, 0x7E, 0x7E}));
}

TEST(HdlcWrite, ReportsTheLinkBelowsResult) {
    Framed<HdlcConnectionLink32> f;
    f.below->setWriteResult(false);
    ConnectionLinkPacket packet = packetOf({0x01});
    EXPECT_FALSE(f.link.write(packet));
}

TEST(HdlcRead, HuntsForTheFirstFlagThenStaysSynchronised) {
    Framed<HdlcConnectionLink> f;
    f.below->queueBytes({0x55, 0xAA, 0x7E, 0x7E, 0x01, 0x7D, 0x5E, 0x7E});
    EXPECT_EQ(bytesOf(f.link.read(0)), (Bytes{0x01, 0x7E}));
    // Once synchronised no opening flag is needed.
    f.below->queueBytes({0x02, 0x7E});
    EXPECT_EQ(bytesOf(f.link.read(0)), (Bytes{0x02}));
    // The padding after a frame from the basestation is fill before the next.
    f.below->queueBytes({0x7E, 0x7E, 0x7E, 0x03, 0x7D, 0x5D, 0x7E});
    EXPECT_EQ(bytesOf(f.link.read(0)), (Bytes{0x03, 0x7D}));
    // Every byte was asked for one at a time.
    for (unsigned int length : f.below->readLengths())
        EXPECT_EQ(length, 1u);
}

TEST(HdlcRead, EscapeCornerCases) {
    Framed<HdlcConnectionLink> f;
    // Escape then flag: the frame ends and the escape is dropped.
    f.below->queueBytes({0x7E, 0x01, 0x7D, 0x7E});
    EXPECT_EQ(bytesOf(f.link.read(0)), (Bytes{0x01}));
    // Two escapes: only the byte after the last one is changed.
    f.below->queueBytes({0x7D, 0x7D, 0x41, 0x42, 0x7E});
    EXPECT_EQ(bytesOf(f.link.read(0)), (Bytes{0x61, 0x42}));
    // A frame that is empty after unstuffing reads as an empty packet.
    f.below->queueBytes({0x7E, 0x7D, 0x7E});
    EXPECT_TRUE(f.link.read(0).empty());
}

TEST(HdlcRead, TimeOutBelowDropsAPartialFrameWithoutLosingSync) {
    Framed<HdlcConnectionLink> f;
    f.below->queueBytes({0x7E, 0x01, 0x02});
    EXPECT_TRUE(f.link.read(0).empty());
    // Nothing before a flag at all: still empty, still hunting.
    Framed<HdlcConnectionLink> fresh;
    fresh.below->queueBytes({0x10, 0x20});
    EXPECT_TRUE(fresh.link.read(0).empty());
    fresh.below->queueBytes({0x30, 0x7E, 0x40, 0x7E});
    EXPECT_EQ(bytesOf(fresh.link.read(0)), (Bytes{0x40}));
}

TEST(HdlcRead, AFrameThatNeverClosesIsCutOffAndTheNextFrameStillArrives) {
    Framed<HdlcConnectionLink> f;
    const std::size_t limit = HdlcConnectionLink::maxBytesPerRead;
    // The largest legitimate reply, a 65536-word burst read (4 * 65536 + 8
    // payload bytes), every byte escaped, is read whole.
    Bytes big(4 * 65536 + 8, 0x7E);
    Bytes wire{0x7E};
    for (unsigned char b : big) {
        wire.push_back(0x7D);
        wire.push_back(b ^ 0x20);
    }
    wire.push_back(0x7E);
    ASSERT_LT(wire.size(), limit);
    f.below->queuePacket(wire);
    EXPECT_EQ(f.link.read(0).size(), big.size());

    // An endless payload: the receiver gives up after the limit instead of
    // growing, and hunts for the flag that ends the runaway frame.
    std::size_t served = 0;
    f.below->setSource([&] {
        ConnectionLinkPacket chunk;
        chunk.insert(chunk.end(), 4096, 0x33);
        served += chunk.size();
        return chunk;
    });
    testing::internal::CaptureStderr();
    EXPECT_TRUE(f.link.read(0).empty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("dropped"), std::string::npos);
    EXPECT_LE(served, limit + 4096);
    f.below->setSource(nullptr);
    f.below->queueBytes({0x33, 0x33, 0x7E, 0x05, 0x7E});
    // The hunt may hit the end of what is queued first; the next read finds it.
    ConnectionLinkPacket next = f.link.read(0);
    EXPECT_EQ(bytesOf(next), (Bytes{0x05}));

    // Endless fill flags do not keep one read busy for ever either.
    f.below->setSource([] {
        ConnectionLinkPacket chunk;
        chunk.insert(chunk.end(), 4096, 0x7E);
        return chunk;
    });
    EXPECT_TRUE(f.link.read(0).empty());
}

TEST(HdlcLink, DeletesTheLinkBelow) {
    bool destroyed = false;
    { HdlcConnectionLink32 link(new ScriptedLink(&destroyed)); }
    EXPECT_TRUE(destroyed);
}

TEST(RequestResponse, ReplyIsTheNextPacketAndTheLengthIsPassedDown) {
    bool destroyed = false;
    auto* below = new ScriptedLink(&destroyed);
    {
        RequestResponseLink rr(below);
        below->queuePacket({0xA1});
        below->queuePacket({0xB2, 0xB3});
        ConnectionLinkPacket first = packetOf({0x01});
        ConnectionLinkPacket second = packetOf({0x02});
        EXPECT_EQ(bytesOf(rr.transfer(first, 12)), (Bytes{0xA1}));
        EXPECT_EQ(bytesOf(rr.transfer(second, 8)), (Bytes{0xB2, 0xB3}));
        EXPECT_EQ(below->written(), (std::vector<Bytes>{{0x01}, {0x02}}));
        EXPECT_EQ(below->readLengths(), (std::vector<unsigned int>{12, 8}));

        // Nothing delivered: an empty reply.
        ConnectionLinkPacket third = packetOf({0x03});
        EXPECT_TRUE(rr.transfer(third, 4).empty());

        // A request that could not be sent waits for no reply.
        below->setWriteResult(false);
        below->queuePacket({0xC4});
        ConnectionLinkPacket fourth = packetOf({0x04});
        EXPECT_TRUE(rr.transfer(fourth, 4).empty());
        EXPECT_EQ(below->readLengths().size(), 3u);
    }
    EXPECT_TRUE(destroyed);
}

// The whole receive path over TCP: a frame split over several TCP segments,
// preceded by line noise, and the padded request on the wire.
TEST(HdlcOverTcp, FramesCrossTheSocketIntact) {
    LoopbackPeer peer;
    peer.awaitReceived(8)
        .send({0x00, 0x7E, 0x7E, 0x11})
        .pause(std::chrono::milliseconds(30))
        .send({0x7D, 0x5E, 0x22, 0x7E, 0x7E, 0x7E});
    RequestResponseLink rr(
        new HdlcConnectionLink32(new TcpConnectionLink("127.0.0.1", peer.port())));
    ConnectionLinkPacket request = packetOf({0x01, 0x7D, 0x03});
    EXPECT_EQ(bytesOf(rr.transfer(request, 3)), (Bytes{0x11, 0x7E, 0x22}));
    EXPECT_EQ(peer.received(), (Bytes{0x7E, 0x01, 0x7D, 0x5D, 0x03, 0x7E, 0x7E, 0x7E}));
}

} // namespace
