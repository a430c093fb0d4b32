// Byte packets: big-endian insertion and extraction, silent short reads, and
// the text form.
#include <gtest/gtest.h>

#include <sstream>

#include "common/PacketBytes.h"
#include "link/ConnectionLinkPacket.h"

namespace {

TEST(Packet, TypedInsertionIsBigEndianAndExtractionGivesTheValuesBack) {
    ConnectionLinkPacket packet;
    packet << static_cast<unsigned short>(0x1234) << 0xA1B2C3D4u;
    EXPECT_EQ(bytesOf(packet), (Bytes{0x12, 0x34, 0xA1, 0xB2, 0xC3, 0xD4}));

    unsigned short s = 0;
    unsigned int i = 0;
    packet >> s >> i;
    EXPECT_EQ(s, 0x1234);
    EXPECT_EQ(i, 0xA1B2C3D4u);
    EXPECT_TRUE(packet.empty());

    packet << static_cast<unsigned char>(0xFE) << static_cast<char>(-2) << 'A';
    EXPECT_EQ(bytesOf(packet), (Bytes{0xFE, 0xFE, 0x41}));
    unsigned char c = 0;
    packet >> c;
    EXPECT_EQ(c, 0xFE);
    EXPECT_EQ(packet.size(), 2u);
}

TEST(Packet, FrontInsertionPutsTheMostSignificantByteFirst) {
    ConnectionLinkPacket packet = packetOf({0xAA});
    packet.push_front(0x01020304u);
    EXPECT_EQ(bytesOf(packet), (Bytes{0x01, 0x02, 0x03, 0x04, 0xAA}));
    packet.push_front(static_cast<unsigned char>(0x7E));
    packet.push_front(static_cast<char>(0x10));
    EXPECT_EQ(bytesOf(packet), (Bytes{0x10, 0x7E, 0x01, 0x02, 0x03, 0x04, 0xAA}));
}

TEST(Packet, PackAndUnpackTakeAGivenNumberOfBytes) {
    ConnectionLinkPacket packet;
    packet.pack(0x12ABCDEFu, 3);
    EXPECT_EQ(bytesOf(packet), (Bytes{0xAB, 0xCD, 0xEF}));
    packet.pack(0xFFFFFFFFu, 0);
    EXPECT_EQ(packet.size(), 3u);
    EXPECT_EQ(packet.unpack(0), 0u);
    EXPECT_EQ(packet.unpack(3), 0x00ABCDEFu);
    EXPECT_TRUE(packet.empty());

    // Beyond four bytes only the last four taken remain.
    packet = packetOf({0x01, 0x02, 0x03, 0x04, 0x05});
    EXPECT_EQ(packet.unpack(5), 0x02030405u);
}

TEST(Packet, UnpackNeverReadsPastTheEnd) {
    ConnectionLinkPacket packet = packetOf({0x12, 0x34});
    EXPECT_EQ(packet.unpack(4), 0x1234u);
    EXPECT_TRUE(packet.empty());
    EXPECT_EQ(packet.unpack(4), 0u);
}

TEST(Packet, ShortExtractionLeavesValueAndPacketAlone) {
    ConnectionLinkPacket packet = packetOf({0x01, 0x02, 0x03});
    unsigned int i = 0xCAFEF00D;
    packet >> i;
    EXPECT_EQ(i, 0xCAFEF00Du);
    EXPECT_EQ(bytesOf(packet), (Bytes{0x01, 0x02, 0x03}));

    ConnectionLinkPacket one = packetOf({0x09});
    unsigned short s = 0xBEEF;
    one >> s;
    EXPECT_EQ(s, 0xBEEF);
    EXPECT_EQ(one.size(), 1u);

    ConnectionLinkPacket empty;
    unsigned char c = 0x5A;
    empty >> c;
    EXPECT_EQ(c, 0x5A);
}

TEST(Packet, PacketToPacketMovesOrAppendsAllBytes) {
    ConnectionLinkPacket src = packetOf({0x01, 0x02});
    ConnectionLinkPacket dst = packetOf({0xFF});
    src >> dst;
    EXPECT_EQ(bytesOf(dst), (Bytes{0x01, 0x02}));
    EXPECT_TRUE(src.empty());

    ConnectionLinkPacket tail = packetOf({0x03, 0x04});
    dst << tail;
    EXPECT_EQ(bytesOf(dst), (Bytes{0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(bytesOf(tail), (Bytes{0x03, 0x04}));
}

TEST(Packet, ConstructionFromBytesAndStreamCopy) {
    char raw[] = {0x00, static_cast<char>(0x80), 0x7F};
    ConnectionLinkPacket packet(raw, 3);
    EXPECT_EQ(bytesOf(packet), (Bytes{0x00, 0x80, 0x7F}));
    EXPECT_TRUE(ConnectionLinkPacket(raw, 0).empty());

    unsigned char* copy = packet.stream();
    EXPECT_EQ(Bytes(copy, copy + 3), (Bytes{0x00, 0x80, 0x7F}));
    delete[] copy;
    EXPECT_EQ(packet.size(), 3u);
}

TEST(PacketText, OneLineOfHexNumbersAndTheStreamLeftDecimal) {
    std::ostringstream out;
    out << std::oct << packetOf({0x0A, 0xFF, 0x00}) << 17;
    EXPECT_EQ(out.str(), "a ff 0 \n17");

    std::ostringstream empty;
    empty << ConnectionLinkPacket();
    EXPECT_EQ(empty.str(), "\n");
}

TEST(PacketText, WrittenLineReadsBackToTheSameBytes) {
    const ConnectionLinkPacket original = packetOf({0x00, 0x01, 0x7E, 0x80, 0xFF});
    std::stringstream text;
    text << original;
    ConnectionLinkPacket back;
    text >> back;
    EXPECT_EQ(bytesOf(back), bytesOf(original));
}

TEST(PacketText, ReadingAppendsLowBytesAndStopsAtTheFirstNonNumber) {
    ConnectionLinkPacket packet = packetOf({0x55});
    std::istringstream text("1ff 2 zz 3\n4\n");
    text >> packet;
    EXPECT_EQ(bytesOf(packet), (Bytes{0x55, 0xFF, 0x02}));
    // The rest of that line went with it; the next line is next.
    ConnectionLinkPacket next;
    text >> next;
    EXPECT_EQ(bytesOf(next), (Bytes{0x04}));
}

TEST(PacketText, SequenceReaderGivesOnePacketPerLine) {
    std::deque<ConnectionLinkPacket> packets;
    std::istringstream text("1 2\n3\n");
    text >> packets;
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(bytesOf(packets[0]), (Bytes{0x01, 0x02}));
    EXPECT_EQ(bytesOf(packets[1]), (Bytes{0x03}));

    std::deque<ConnectionLinkPacket> withGap;
    std::istringstream gap("a\n\nb\n");
    gap >> withGap;
    ASSERT_EQ(withGap.size(), 3u);
    EXPECT_TRUE(withGap[1].empty());
    EXPECT_EQ(bytesOf(withGap[2]), (Bytes{0x0B}));
}

TEST(PacketText, LastLineWithoutNewlineIsKept) {
    std::deque<ConnectionLinkPacket> packets;
    std::istringstream text("1 2\n3");
    text >> packets;
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(bytesOf(packets[1]), (Bytes{0x03}));

    std::deque<ConnectionLinkPacket> none;
    std::istringstream empty("");
    empty >> none;
    EXPECT_TRUE(none.empty());
}

} // namespace
