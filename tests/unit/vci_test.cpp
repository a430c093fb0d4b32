// Register access: the protocol's request and reply words, its checks and
// their texts, the error word; the in-memory register space with the default
// bursts; one register's 32-bit truncation.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <numeric>
#include <string>

#include "common/ScriptedLink.h"
#include "common/Thrown.h"
#include "link/RequestResponseLink.h"
#include "vci/SingleAddress.h"
#include "vci/VciDummy.h"
#include "vci/VciEncoder.h"

namespace {

using Words = std::vector<unsigned int>;

Bytes wordBytes(const Words& words) {
    ConnectionLinkPacket packet;
    for (unsigned int word : words)
        packet << word;
    return bytesOf(packet);
}

// An encoder over a scripted link that answers with the queued replies.
struct Encoder {
    explicit Encoder(VciEncoding::LinkWidth width = VciEncoding::Width32) : vci(link(), width) {}
    RequestResponseLink* link() { return new RequestResponseLink(below = new ScriptedLink); }
    void reply(const Words& words) { below->queueBytes(wordBytes(words)); }
    ScriptedLink* below = nullptr;
    VciEncoder vci;
};

TEST(VciEncoder, RequestsAndRepliesWordByWord) {
    struct Case {
        std::function<Words(VciEncoder&)> call;
        Words request, reply;
        unsigned int replyLength;
        Words result;
    };
    const Case cases[] = {
        {[](VciEncoder& v) {
             v.vciBurstWrite(0x1044, {0xDEADBEEF, 0x01234567, 0x89ABCDEF},
                             VciInterface::NoIncrement);
             return Words{};
         },
         {0x02000002, 0x1044, 0xDEADBEEF, 0x01234567, 0x89ABCDEF, 0},
         {0x02000000, 0},
         8,
         {}},
        {[](VciEncoder& v) { return Words{v.vciRead(0x0000)}; },
         {0x01010000, 0x0000, 0},
         {0x01000000, 0xCAFEBABE, 0},
         12,
         {0xCAFEBABE}},
        {[](VciEncoder& v) {
             v.vciWrite(0x0018, 5);
             return Words{};
         },
         {0x02010000, 0x0018, 5, 0},
         {0x02000000, 0},
         8,
         {}},
        {[](VciEncoder& v) { return v.vciBurstRead(0x2000, 3, VciInterface::Increment); },
         {0x01010002, 0x2000, 0},
         {0x01000000, 10, 20, 30, 0},
         20,
         {10, 20, 30}},
        {[](VciEncoder& v) { return v.vciBurstRead(0x105C, 2, VciInterface::NoIncrement); },
         {0x01000001, 0x105C, 0},
         {0x01000000, 0xC3, 0x01, 0},
         16,
         {0xC3, 0x01}},
        {[](VciEncoder& v) { return Words{v.ping(0x7E7D1234)}; },
         {0x03000000, 0x7E7D1234, 0},
         {0x03000000, 0x7E7D1234, 0},
         12,
         {0x7E7D1234}},
        // Widths word: address width in bits 7..0, data width in bits 15..8.
        {[](VciEncoder& v) {
             return Words{v.getVciDataWidth(), v.getVciAddressWidth()};
         },
         {0x04000000, 0},
         {0x04000000, 0x00002018, 0},
         12,
         {32, 24}},
        {[](VciEncoder& v) {
             return Words{v.getVciAddressWidth(), v.getVciAddressWidth()};
         },
         {0x04000000, 0},
         {0x04000000, 0x00002010, 0},
         12,
         {16, 16}},
    };
    for (const Case& c : cases) {
        Encoder e;
        e.reply(c.reply);
        EXPECT_EQ(c.call(e.vci), c.result);
        EXPECT_EQ(e.below->written, std::vector<Bytes>{wordBytes(c.request)});
        EXPECT_EQ(e.below->readLengths, Words{c.replyLength});
    }
    Encoder none; // bursts of no words send nothing
    EXPECT_TRUE(none.vci.vciBurstRead(0x1000, 0, VciInterface::Increment).empty());
    none.vci.vciBurstWrite(0x1000, {}, VciInterface::NoIncrement);
    EXPECT_TRUE(none.below->written.empty());
}

TEST(VciEncoder, BurstsBeyondTheLengthFieldAreSplit) {
    Encoder e;
    Words data(65537);
    std::iota(data.begin(), data.end(), 0u);
    e.reply({0x02000000, 0});
    e.reply({0x02000000, 0});
    e.vci.vciBurstWrite(0x100, data, VciInterface::Increment);
    Words first{0x0201FFFF, 0x100};
    first.insert(first.end(), data.begin(), data.end() - 1);
    first.push_back(0);
    const Words second{0x02010000, 0x100 + 4 * 65536, 65536, 0};
    EXPECT_EQ(e.below->written, (std::vector<Bytes>{wordBytes(first), wordBytes(second)}));

    Words longReply{0x01000000};
    longReply.resize(65537, 7);
    longReply.push_back(0);
    e.reply(longReply);
    e.reply({0x01000000, 9, 0});
    const Words words = e.vci.vciBurstRead(0x40, 65537, VciInterface::NoIncrement);
    EXPECT_EQ(words.size(), 65537u);
    EXPECT_EQ(words.back(), 9u);
    EXPECT_EQ(e.below->written[2], wordBytes({0x0100FFFF, 0x40, 0}));
    EXPECT_EQ(e.below->written[3], wordBytes({0x01000000, 0x40, 0}));
}

TEST(VciEncoder, BadRepliesAndSettingsThrowTheirTexts) {
    const auto two = static_cast<VciInterface::IncrementAddress>(2);
    const std::map<std::string, std::function<void(VciEncoder&)>> calls{
        {"read", [](VciEncoder& v) { v.vciRead(0); }},
        {"write", [](VciEncoder& v) { v.vciWrite(0, 1); }},
        {"ping", [](VciEncoder& v) { v.ping(1); }},
        {"info", [](VciEncoder& v) { v.getVciDataWidth(); }},
        {"read2", [two](VciEncoder& v) { v.vciBurstRead(0, 1, two); }},
        {"write2", [two](VciEncoder& v) { v.vciBurstWrite(0, {1}, two); }},
    };
    struct Case {
        const char* call;
        Bytes reply; // none queued when empty: the reply times out
        std::string message;
        VciEncoding::LinkWidth width = VciEncoding::Width32;
    };
    const Case cases[] = {
        {"write", Bytes(9, 0), "vciwrite failed: reply size = 9, expected 8"},
        {"write", {}, "vciwrite failed: No reply received"},
        {"read", wordBytes({0x01000000, 1, 2, 0}), "vciRead failed: reply size = 16, expected 12"},
        {"read", {}, "vciRead failed: No reply received"},
        {"ping", wordBytes({0x03000000, 0}), "vciPing failed: reply size = 8, expected 12"},
        {"ping", {}, "vciPing failed: No reply received"},
        {"info", wordBytes({0x04000000}), "vciinfo failed: reply size = 4, expected 12"},
        {"info", {}, "vciinfo failed: No reply received"},
        // The first word echoes the command alone, not the flag or length.
        {"read", wordBytes({0x01010000, 5, 0}), "vciRead failed: wrong vci reply"},
        {"write", wordBytes({0x01000000, 0}), "vciWrite failed: wrong vci reply"},
        {"ping", wordBytes({0x04000000, 5, 0}), "vciPing failed: wrong vci reply"},
        {"info", wordBytes({0x03000000, 0x2020, 0}), "vciInfo failed: wrong vci reply"},
        // Refused before anything is sent.
        {"read2", {}, "Unsupported increment setting"},
        {"write2", {}, "Unsupported increment setting"},
        {"read", {}, "8 bit encoding is no longer supported", VciEncoding::Width8},
        {"write", {}, "8 bit encoding is no longer supported", VciEncoding::Width8},
        {"ping", {}, "8 bit encoding is no longer supported", VciEncoding::Width8},
        {"info", {}, "8 bit encoding is no longer supported", VciEncoding::Width8},
    };
    for (const Case& c : cases) {
        Encoder e(c.width);
        if (!c.reply.empty()) e.below->queueBytes(c.reply);
        EXPECT_EQ(messageOf<VciInterface::Exception>([&] { calls.at(c.call)(e.vci); }), c.message);
        const bool refused = c.message.find("failed") == std::string::npos;
        EXPECT_EQ(e.below->written.size(), refused ? 0u : 1u) << c.message;
    }
}

TEST(VciEncoder, ErrorBitsOfTheStatusAreOnlyPrinted) {
    const std::pair<unsigned int, std::string> cases[] = {
        {0x00010000, "CRC error\n"},
        {0x00020000, "Internal error in hardware\n"},
        {0x00040000, "Packet sop/eop error\n"},
        {0x00080000, "Unsupported feature error\n"},
        {0x00100000, "Timeout error\n"},
        {0x00200000, "Unknown command error\n"},
        {0x00400000, "Protocol specific error 0\n"},
        {0x00800000, "Protocol specific error 0\n"},
        {0x50C00000, "Protocol specific error 5\n"},
        {0x0F000000, ""},
        {0x0000FFFF, ""},
        {0xFFFF0000, "CRC error\nInternal error in hardware\nPacket sop/eop error\n"
                     "Unsupported feature error\nTimeout error\nUnknown command error\n"
                     "Protocol specific error 15\n"},
    };
    for (const auto& [status, lines] : cases) {
        Encoder e;
        e.reply({0x01000000, 0xABCD, status});
        testing::internal::CaptureStderr();
        EXPECT_EQ(e.vci.vciRead(0x10), 0xABCDu);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), lines) << std::hex << status;
    }
}

TEST(VciDummy, KeepsTheLastValueWrittenAndTracesEachAccess) {
    VciDummy dummy;
    const SingleAddress reg(0x1234, &dummy);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dummy.vciRead(0x2000), 0u);
    dummy.vciWrite(0x1000, 0x1234);
    EXPECT_EQ(dummy.vciRead(0x1000), 0x1234u);
    std::cerr << 255 << "\n"; // the stream is left decimal
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vciRead 2000 0\nvciWrite 1000 1234\nvciRead 1000 1234\n255\n");

    reg.write(0x100000005ull); // the upper half is dropped
    EXPECT_EQ(dummy.vciRead(0x1234), 5u);
    reg.write(static_cast<unsigned long long>(-2LL));
    EXPECT_EQ(reg.read(), 0xFFFFFFFEull);
}

TEST(VciDummy, DefaultBurstsStepOneWordOrStayOnAPort) {
    VciDummy dummy;
    dummy.vciBurstWrite(0x100, {1, 2, 3}, VciInterface::Increment);
    dummy.vciBurstWrite(0x200, {4, 5, 6}, VciInterface::NoIncrement);
    EXPECT_EQ(dummy.vciBurstRead(0x100, 4, VciInterface::Increment), (Words{1, 2, 3, 0}));
    EXPECT_EQ(dummy.vciBurstRead(0x200, 2, VciInterface::NoIncrement), (Words{6, 6}));
    EXPECT_EQ(dummy.vciRead(0x204), 0u);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(dummy.vciBurstRead(0x100, 0, VciInterface::Increment).empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "getVciDataWidth\n");
}

} // namespace
