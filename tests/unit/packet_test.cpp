// Byte packets: big-endian insertion and extraction, silent short reads,
// packet to packet copies and the text form.
#include <gtest/gtest.h>

#include <sstream>

#include "common/PacketBytes.h"

TEST(Packet, ValuesTravelMostSignificantByteFirst) {
    ConnectionLinkPacket packet = packetOf({0xAA});
    packet << static_cast<unsigned short>(0x1234) << 0xA1B2C3D4u << static_cast<unsigned char>(0xFE)
           << 'A';
    packet.pack(0x12ABCDEFu, 3);
    packet.pack(0xFFFFFFFFu, 0);
    packet.push_front(0x01020304u);
    EXPECT_EQ(bytesOf(packet), (Bytes{0x01, 0x02, 0x03, 0x04, 0xAA, 0x12, 0x34, 0xA1, 0xB2, 0xC3,
                                      0xD4, 0xFE, 0x41, 0xAB, 0xCD, 0xEF}));
    unsigned int front = 0, i = 0;
    unsigned short s = 0;
    unsigned char a = 0, e = 0;
    packet >> front >> a >> s >> i >> e;
    EXPECT_EQ((std::vector<unsigned int>{front, a, s, i, e}),
              (std::vector<unsigned int>{0x01020304, 0xAA, 0x1234, 0xA1B2C3D4, 0xFE}));
    EXPECT_EQ((std::vector<unsigned int>{packet.unpack(0), packet.unpack(1), packet.unpack(3)}),
              (std::vector<unsigned int>{0, 0x41, 0x00ABCDEF}));
    EXPECT_TRUE(packet.empty());
}

TEST(Packet, ExtractionNeedsTheWholeValueAndIsSilentOtherwise) {
    auto check = [](auto old, std::size_t size, unsigned int whole) {
        for (std::size_t available : {size - 1, size}) {
            ConnectionLinkPacket packet = packetOf(Bytes{0x81, 0x82, 0x83, 0x84});
            packet.resize(available);
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

// Growing a packet moves its storage: a packet appended to itself is copied first.
TEST(Packet, PacketToPacketCopiesAllBytesEvenFromItself) {
    ConnectionLinkPacket src = packetOf({0x01, 0x02}), dst = packetOf({0xFF});
    src >> dst;
    EXPECT_EQ(bytesOf(dst), (Bytes{0x01, 0x02}));
    EXPECT_TRUE(src.empty());

    Bytes bytes(100000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 256);
    ConnectionLinkPacket packet = packetOf(bytes);
    packet << packet;
    bytes.insert(bytes.end(), bytes.begin(), bytes.begin() + 100000);
    EXPECT_EQ(bytesOf(packet), bytes);
}

TEST(PacketText, OneLineOfHexNumbersPerPacket) {
    std::stringstream text;
    text << std::oct << packetOf({0x0A, 0xFF, 0x00}) << 17 << ConnectionLinkPacket();
    EXPECT_EQ(text.str(), "a ff 0 \n17\n"); // and the stream is left decimal
    text.str("a ff 0 \n1ff 2 zz 3\n\n");    // low bytes, up to the first non-number
    std::deque<ConnectionLinkPacket> packets;
    text >> packets;
    std::vector<Bytes> lines;
    for (const ConnectionLinkPacket& line : packets)
        lines.push_back(bytesOf(line));
    EXPECT_EQ(lines, (std::vector<Bytes>{{0x0A, 0xFF, 0x00}, {0xFF, 0x02}, {}}));
}
