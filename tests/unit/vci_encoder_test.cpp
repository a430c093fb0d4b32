// The register-access protocol: request words, reply checks, error texts and
// the error word, on a scripted link and over a loopback connection.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>

#include "common/LoopbackPeer.h"
#include "common/ScriptedLink.h"
#include "common/WordFrameResponder.h"
#include "link/HdlcConnectionLink32.h"
#include "link/TcpConnectionLink.h"
#include "vci/VciEncoder.h"

namespace {

using Bytes = ScriptedLink::Bytes;
using Words = std::vector<uint32_t>;

Bytes wordBytes(const Words& words) {
    Bytes bytes;
    for (uint32_t w : words)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<unsigned char>(w >> shift));
    return bytes;
}

template <typename F> std::string messageOf(F&& f) {
    try {
        f();
    } catch (const VciInterface::Exception& e) {
        return e.what();
    }
    return "no VciInterface::Exception";
}

template <typename F> std::string stderrOf(F&& f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

// An encoder on a request/response link over a scripted link.
struct Encoder {
    explicit Encoder(VciEncoding::LinkWidth width = VciEncoding::Width32)
        : below(new ScriptedLink), vci(new RequestResponseLink(below), width) {}
    void reply(const Words& words) { below->queuePacket(wordBytes(words)); }
    void replyBytes(const Bytes& bytes) { below->queuePacket(bytes); }

    ScriptedLink* below;
    VciEncoder vci;
};

TEST(VciEncoderRequests, BurstWriteAndSingleRead) {
    Encoder e;
    e.reply({0x02000000, 0});
    e.vci.vciBurstWrite(0x1044, {0xDEADBEEF, 0x01234567, 0x89ABCDEF}, VciInterface::NoIncrement);
    const Bytes write{0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x10, 0x44, 0xDE, 0xAD, 0xBE, 0xEF,
                      0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x00, 0x00, 0x00, 0x00};
    ASSERT_EQ(e.below->written().size(), 1u);
    EXPECT_EQ(e.below->written()[0], write);

    e.reply({0x01000000, 0xCAFEBABE, 0});
    EXPECT_EQ(e.vci.vciRead(0x0000), 0xCAFEBABEu);
    EXPECT_EQ(e.below->written()[1],
              (Bytes{0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(e.below->readLengths(), (std::vector<unsigned int>{8, 12}));

    e.reply({0x02000000, 0});
    e.vci.vciWrite(0x0018, 0x00000005);
    EXPECT_EQ(e.below->written()[2], wordBytes({0x02010000, 0x18, 5, 0}));
}

TEST(VciEncoderRequests, BurstReadPingAndInformation) {
    Encoder e;
    e.reply({0x01000000, 10, 20, 30, 0});
    EXPECT_EQ(e.vci.vciBurstRead(0x2000, 3, VciInterface::Increment),
              (std::vector<unsigned int>{10, 20, 30}));
    EXPECT_EQ(e.below->written()[0], wordBytes({0x01010002, 0x2000, 0}));
    EXPECT_EQ(e.below->readLengths().back(), 20u);

    e.reply({0x03000000, 0x7E7D1234, 0});
    EXPECT_EQ(e.vci.ping(0x7E7D1234), 0x7E7D1234u);
    EXPECT_EQ(e.below->written()[1], wordBytes({0x03000000, 0x7E7D1234, 0}));
    EXPECT_EQ(e.below->readLengths().back(), 12u);

    // Widths word: address width in bits 7..0, data width in bits 15..8.
    e.reply({0x04000000, 0x00002018, 0});
    EXPECT_EQ(e.vci.getVciDataWidth(), 32u);
    EXPECT_EQ(e.below->written()[2], wordBytes({0x04000000, 0}));
    EXPECT_EQ(e.vci.getVciAddressWidth(), 24u);
    EXPECT_EQ(e.below->written().size(), 3u);

    // Not learned yet: the address width asks the basestation once.
    Encoder fresh;
    fresh.reply({0x04000000, 0x00002010, 0});
    EXPECT_EQ(fresh.vci.getVciAddressWidth(), 16u);
    EXPECT_EQ(fresh.vci.getVciAddressWidth(), 16u);
    EXPECT_EQ(fresh.below->written().size(), 1u);
}

TEST(VciEncoderRequests, ZeroLengthBurstsSendNothing) {
    Encoder e;
    EXPECT_TRUE(e.vci.vciBurstRead(0x1000, 0, VciInterface::Increment).empty());
    e.vci.vciBurstWrite(0x1000, {}, VciInterface::NoIncrement);
    EXPECT_TRUE(e.below->written().empty());
}

TEST(VciEncoderRequests, BurstsBeyondTheLengthFieldAreSplit) {
    Encoder e;
    std::vector<unsigned int> data(65537);
    for (unsigned int i = 0; i < data.size(); ++i)
        data[i] = i;
    e.reply({0x02000000, 0});
    e.reply({0x02000000, 0});
    e.vci.vciBurstWrite(0x100, data, VciInterface::Increment);
    ASSERT_EQ(e.below->written().size(), 2u);
    const Bytes& first = e.below->written()[0];
    ASSERT_EQ(first.size(), 4u * 65536 + 12);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 8), wordBytes({0x0201FFFF, 0x100}));
    EXPECT_EQ(Bytes(first.end() - 8, first.end()), wordBytes({65535, 0}));
    EXPECT_EQ(e.below->written()[1], wordBytes({0x02010000, 0x100 + 4 * 65536, 65536, 0}));

    Encoder n;
    Words longReply{0x01000000};
    longReply.resize(65537, 7);
    longReply.push_back(0);
    n.reply(longReply);
    n.reply({0x01000000, 9, 0});
    const auto words = n.vci.vciBurstRead(0x40, 65537, VciInterface::NoIncrement);
    ASSERT_EQ(words.size(), 65537u);
    EXPECT_EQ(words[65535], 7u);
    EXPECT_EQ(words[65536], 9u);
    EXPECT_EQ(n.below->written()[0], wordBytes({0x0100FFFF, 0x40, 0}));
    EXPECT_EQ(n.below->written()[1], wordBytes({0x01000000, 0x40, 0}));
    EXPECT_EQ(n.below->readLengths(), (std::vector<unsigned int>{4 * 65536 + 8, 12}));
}

TEST(VciEncoderReplies, WrongSizesNameTheSizes) {
    Encoder e;
    e.replyBytes(Bytes(9, 0));
    EXPECT_EQ(messageOf([&] { e.vci.vciWrite(0, 1); }),
              "vciwrite failed: reply size = 9, expected 8");
    EXPECT_EQ(messageOf([&] { e.vci.vciWrite(0, 1); }), "vciwrite failed: No reply received");

    e.reply({0x01000000, 1, 2, 0});
    EXPECT_EQ(messageOf([&] { e.vci.vciRead(0); }), "vciRead failed: reply size = 16, expected 12");
    EXPECT_EQ(messageOf([&] { e.vci.vciBurstRead(0, 2, VciInterface::Increment); }),
              "vciRead failed: No reply received");

    e.reply({0x03000000, 0});
    EXPECT_EQ(messageOf([&] { e.vci.ping(1); }), "vciPing failed: reply size = 8, expected 12");
    EXPECT_EQ(messageOf([&] { e.vci.ping(1); }), "vciPing failed: No reply received");

    e.reply({0x04000000});
    EXPECT_EQ(messageOf([&] { e.vci.getVciDataWidth(); }),
              "vciinfo failed: reply size = 4, expected 12");
    EXPECT_EQ(messageOf([&] { e.vci.getVciDataWidth(); }), "vciinfo failed: No reply received");
}

TEST(VciEncoderReplies, FirstWordMustEchoTheCommandExactly) {
    Encoder e;
    e.reply({0x01010000, 5, 0}); // the increment flag is not echoed
    EXPECT_EQ(messageOf([&] { e.vci.vciRead(0); }), "vciRead failed: wrong vci reply");
    e.reply({0x01000000, 0});
    EXPECT_EQ(messageOf([&] { e.vci.vciWrite(0, 0); }), "vciWrite failed: wrong vci reply");
    e.reply({0x04000000, 5, 0});
    EXPECT_EQ(messageOf([&] { e.vci.ping(5); }), "vciPing failed: wrong vci reply");
    e.reply({0x03000000, 0x2020, 0});
    EXPECT_EQ(messageOf([&] { e.vci.getVciDataWidth(); }), "vciInfo failed: wrong vci reply");
}

TEST(VciEncoderReplies, ErrorBitsAreOnlyPrinted) {
    Encoder e;
    e.reply({0x02000000, 0x00010000});
    EXPECT_EQ(stderrOf([&] { e.vci.vciWrite(0x10, 1); }), "CRC error\n");
    e.reply({0x01000000, 0xABCD, 0x50C00000});
    unsigned int value = 0;
    EXPECT_EQ(stderrOf([&] { value = e.vci.vciRead(0x10); }), "Protocol specific error 5\n");
    EXPECT_EQ(value, 0xABCDu);
    // Status bits 15..0 are not looked at.
    e.reply({0x03000000, 3, 0x0000FFFF});
    EXPECT_EQ(stderrOf([&] { e.vci.ping(3); }), "");
}

TEST(VciEncoderReplies, DecodeErrorsPrintsOneLinePerBit) {
    Encoder e;
    const std::vector<std::pair<unsigned short, std::string>> table{
        {0x0001, "CRC error\n"},
        {0x0002, "Internal error in hardware\n"},
        {0x0004, "Packet sop/eop error\n"},
        {0x0008, "Unsupported feature error\n"},
        {0x0010, "Timeout error\n"},
        {0x0020, "Unknown command error\n"},
        {0x0040, "Protocol specific error 0\n"},
        {0x0080, "Protocol specific error 0\n"},
        {0xF040, "Protocol specific error 15\n"},
        {0x30C0, "Protocol specific error 3\n"},
        {0x0F00, ""},
        {0xF000, ""},
        {0x0000, ""},
    };
    for (const auto& [word, lines] : table)
        EXPECT_EQ(stderrOf([&] { e.vci.decodeErrors(word); }), lines) << std::hex << word;
    EXPECT_EQ(stderrOf([&] { e.vci.decodeErrors(0xFFFF); }),
              "CRC error\nInternal error in hardware\nPacket sop/eop error\n"
              "Unsupported feature error\nTimeout error\nUnknown command error\n"
              "Protocol specific error 15\n");
}

TEST(VciEncoderChecks, BadSettingsFailBeforeAnythingIsSent) {
    Encoder e;
    const auto two = static_cast<VciInterface::IncrementAddress>(2);
    EXPECT_EQ(messageOf([&] { e.vci.vciBurstRead(0, 1, two); }), "Unsupported increment setting");
    EXPECT_EQ(messageOf([&] { e.vci.vciBurstWrite(0, {1}, two); }),
              "Unsupported increment setting");
    EXPECT_TRUE(e.below->written().empty());

    Encoder narrow(VciEncoding::Width8);
    const std::string message = "8 bit encoding is no longer supported";
    EXPECT_EQ(messageOf([&] { narrow.vci.vciRead(0); }), message);
    EXPECT_EQ(messageOf([&] { narrow.vci.vciWrite(0, 0); }), message);
    EXPECT_EQ(messageOf([&] { narrow.vci.vciBurstRead(0, 4, VciInterface::NoIncrement); }),
              message);
    EXPECT_EQ(messageOf([&] { narrow.vci.ping(0); }), message);
    EXPECT_EQ(messageOf([&] { narrow.vci.getVciDataWidth(); }), message);
    EXPECT_TRUE(narrow.below->written().empty());
}

TEST(VciEncoding, IncrementFlagHelpers) {
    EXPECT_TRUE(VciEncoding::encodeBurstIncrement(VciInterface::Increment));
    EXPECT_FALSE(VciEncoding::encodeBurstIncrement(VciInterface::NoIncrement));
    EXPECT_EQ(VciEncoding::decodeBurstIncrement(1), VciInterface::Increment);
    EXPECT_EQ(VciEncoding::decodeBurstIncrement(0), VciInterface::NoIncrement);
    EXPECT_EQ(VciEncoding::decodeBurstIncrement(2), VciInterface::NoIncrement);
    EXPECT_EQ(VciEncoding::decodeBurstIncrement(0xFF), VciInterface::NoIncrement);
}

TEST(VciEncoderStack, DestroyingTheEncoderDeletesEveryLink) {
    bool destroyed = false;
    {
        VciEncoder vci(
            new RequestResponseLink(new HdlcConnectionLink32(new ScriptedLink(&destroyed))),
            VciEncoding::Width32);
    }
    EXPECT_TRUE(destroyed);
}

VciEncoder* encoderTo(const LoopbackPeer& peer) {
    return new VciEncoder(new RequestResponseLink(new HdlcConnectionLink32(
                              new TcpConnectionLink("127.0.0.1", peer.port()))),
                          VciEncoding::Width32);
}

TEST(VciEncoderStack, ExactBytesOnTheWire) {
    LoopbackPeer peer;
    std::vector<Words> requests;
    std::map<uint32_t, uint32_t> registers;
    peer.respond(WordFrameResponder([&](const Words& request) -> Words {
        requests.push_back(request);
        if (request.size() == 4 && request[0] == 0x02010000) {
            registers[request[1]] = request[2];
            return {0x02000000, 0};
        }
        if (request.size() == 3 && request[0] == 0x01010000)
            return {0x01000000, registers[request[1]], 0};
        return {};
    }));
    std::unique_ptr<VciEncoder> vci(encoderTo(peer));
    vci->vciWrite(0x0018, 0x0000007E);
    // 16 payload bytes, one of them escaped, two flags: 19, padded to 20.
    const Bytes write{0x7E, 0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x18, 0x00,
                      0x00, 0x00, 0x7D, 0x5E, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x7E};
    ASSERT_TRUE(peer.waitForReceived(20));
    EXPECT_EQ(peer.received(), write);

    EXPECT_EQ(vci->vciRead(0x0018), 0x7Eu);
    ASSERT_TRUE(peer.waitForReceived(36));
    const Bytes all = peer.received();
    const Bytes read{0x7E, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                     0x18, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x7E, 0x7E};
    EXPECT_EQ(Bytes(all.begin() + 20, all.end()), read);
}

TEST(VciEncoderStack, SilentBasestationIsNoReplyAfterOneSecond) {
    LoopbackPeer peer;
    std::unique_ptr<VciEncoder> vci(encoderTo(peer));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(messageOf([&] { vci->vciRead(0x10); }), "vciRead failed: No reply received");
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    EXPECT_GE(waited, 950);
    EXPECT_LT(waited, 2500);
}

TEST(VciEncoderStack, ClosedConnectionAndShortReplyPassThrough) {
    LoopbackPeer shortReply;
    shortReply.awaitReceived(1).send(WordFrameResponder::frameBytes(Bytes(9, 0x02)));
    std::unique_ptr<VciEncoder> vci(encoderTo(shortReply));
    EXPECT_EQ(messageOf([&] { vci->vciWrite(0, 0); }),
              "vciwrite failed: reply size = 9, expected 8");

    LoopbackPeer closing;
    closing.awaitReceived(1).closeConnection();
    std::unique_ptr<VciEncoder> gone(encoderTo(closing));
    try {
        gone->vciWrite(0, 0);
        ADD_FAILURE() << "no exception";
    } catch (const morvek::FileDescriptor::ReadError& e) {
        EXPECT_STREQ(e.what(), "TCPDescriptor readn failed");
    }
}

} // namespace
