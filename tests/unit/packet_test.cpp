// Byte packets: big-endian insertion and extraction, silent short reads,
// packet to packet copies and the text form.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "common/PacketBytes.h"

namespace {

TEST(Packet, ValuesTravelMostSignificantByteFirst) {
    ConnectionLinkPacket packet = packetOf({0xAA});
    packet << static_cast<unsigned short>(0x1234) << 0xA1B2C3D4u << static_cast<unsigned char>(0xFE)
           << 'A';
    packet.pack(0x12ABCDEFu, 3);
    packet.pack(0xFFFFFFFFu, 0);
    packet.push_front(0x01020304u);
    packet.push_front(static_cast<char>(0x10));
    EXPECT_EQ(bytesOf(packet), (Bytes{0x10, 0x01, 0x02, 0x03, 0x04, 0xAA, 0x12, 0x34, 0xA1, 0xB2,
                                      0xC3, 0xD4, 0xFE, 0x41, 0xAB, 0xCD, 0xEF}));

    unsigned char c = 0, a = 0, e = 0;
    unsigned int front = 0, i = 0;
    unsigned short s = 0;
    packet >> c >> front >> a >> s >> i >> e;
    EXPECT_EQ(c, 0x10);
    EXPECT_EQ(front, 0x01020304u);
    EXPECT_EQ(a, 0xAA);
    EXPECT_EQ(s, 0x1234);
    EXPECT_EQ(i, 0xA1B2C3D4u);
    EXPECT_EQ(e, 0xFE);
    EXPECT_EQ(packet.unpack(0), 0u);
    EXPECT_EQ(packet.unpack(1), 0x41u);
    EXPECT_EQ(packet.unpack(3), 0x00ABCDEFu);
    EXPECT_TRUE(packet.empty());
}

TEST(Packet, ExtractionNeedsTheWholeValueAndIsSilentOtherwise) {
    const Bytes bytes{0x81, 0x82, 0x83, 0x84};
    auto check = [&](auto old, std::size_t size, unsigned int whole) {
        for (std::size_t available : {size - 1, size}) {
            ConnectionLinkPacket packet = packetOf(Bytes(bytes.begin(), bytes.begin() + available));
            auto value = old;
            packet >> value;
            EXPECT_EQ(value, available == size ? whole : old) << size << " " << available;
            EXPECT_EQ(packet.size(), available == size ? 0 : available);
        }
    };
    check(0xCAFEF00Du, 4, 0x81828384u);
    check(static_cast<unsigned short>(0xBEEF), 2, 0x8182u);
    check(static_cast<unsigned char>(0x5A), 1, 0x81u);
}

TEST(Packet, PacketToPacketCopiesAllBytes) {
    ConnectionLinkPacket src = packetOf({0x01, 0x02});
    ConnectionLinkPacket dst = packetOf({0xFF});
    src >> dst;
    EXPECT_EQ(bytesOf(dst), (Bytes{0x01, 0x02}));
    EXPECT_TRUE(src.empty());
    const ConnectionLinkPacket tail = packetOf({0x03});
    dst << tail;
    EXPECT_EQ(bytesOf(dst), (Bytes{0x01, 0x02, 0x03}));

    char raw[] = {0x00, static_cast<char>(0x80), 0x7F};
    const ConnectionLinkPacket built(raw, 3);
    EXPECT_EQ(bytesOf(built), (Bytes{0x00, 0x80, 0x7F}));
    const std::unique_ptr<unsigned char[]> copy(built.stream());
    EXPECT_EQ(Bytes(copy.get(), copy.get() + 3), bytesOf(built));
}

// Growing a packet moves its storage: appending it to itself must copy first.
TEST(Packet, AppendingAPacketToItselfDoublesIt) {
    Bytes bytes(100000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 256);
    ConnectionLinkPacket packet = packetOf(bytes);
    packet << packet;
    Bytes doubled = bytes;
    doubled.insert(doubled.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(bytesOf(packet), doubled);
}

TEST(PacketText, OneLineOfHexNumbersLeavingTheStreamDecimal) {
    std::ostringstream out;
    out << std::oct << packetOf({0x0A, 0xFF, 0x00}) << 17 << ConnectionLinkPacket();
    EXPECT_EQ(out.str(), "a ff 0 \n17\n");

    std::stringstream text;
    text << packetOf({0x00, 0x7E, 0xFF});
    ConnectionLinkPacket back;
    text >> back;
    EXPECT_EQ(bytesOf(back), (Bytes{0x00, 0x7E, 0xFF}));
}

TEST(PacketText, ReadingAppendsLowBytesUpToTheFirstNonNumberOfALine) {
    ConnectionLinkPacket packet = packetOf({0x55});
    std::istringstream text("1ff 2 zz 3\n1 2\n3\n\nb\n");
    text >> packet;
    EXPECT_EQ(bytesOf(packet), (Bytes{0x55, 0xFF, 0x02}));

    std::deque<ConnectionLinkPacket> packets;
    text >> packets;
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(bytesOf(packets[0]), (Bytes{0x01, 0x02}));
    EXPECT_EQ(bytesOf(packets[1]), (Bytes{0x03}));
    EXPECT_TRUE(packets[2].empty());
    EXPECT_EQ(bytesOf(packets[3]), (Bytes{0x0B}));
}

} // namespace
