// Register access: the protocol's request and reply words, its checks with
// their texts and the error word; the default bursts of a register space.
#include <gtest/gtest.h>

#include "common/ScriptedLink.h"
#include "link/RequestResponseLink.h"
#include "vci/VciDummy.h"
#include "vci/VciEncoder.h"

using Words = std::vector<unsigned int>;

static Bytes wordBytes(const Words& words) {
    ConnectionLinkPacket packet;
    for (unsigned int word : words)
        packet << word;
    return bytesOf(packet);
}

// An encoder over a scripted link that delivers the queued replies.
struct Encoder {
    explicit Encoder(VciEncoding::LinkWidth width = VciEncoding::Width32)
        : vci(new RequestResponseLink(below), width) {}
    ScriptedLink* below = new ScriptedLink;
    VciEncoder vci;
};

// The operations of the tables below; each returns what it read.
static Words perform(VciEncoder& v, const std::string& operation) {
    const auto two = static_cast<VciInterface::IncrementAddress>(2);
    if (operation == "write 3 to port 1044")
        v.vciBurstWrite(0x1044, {0xDEADBEEF, 0x01234567, 0x89ABCDEF}, VciInterface::NoIncrement);
    if (operation == "write 18") v.vciWrite(0x18, 5);
    if (operation == "read 0") return {v.vciRead(0)};
    if (operation == "ping") return {v.ping(0x7E7D1234)};
    if (operation == "info") return {v.getVciDataWidth(), v.getVciAddressWidth()};
    if (operation == "address width") return {v.getVciAddressWidth(), v.getVciAddressWidth()};
    if (operation == "read, increment 2") v.vciBurstRead(0, 1, two);
    if (operation == "write, increment 2") v.vciBurstWrite(0, {1}, two);
    return {};
}

TEST(VciEncoder, RequestsAndRepliesWordByWord) {
    // clang-format off
    const std::tuple<const char*, Words, Words, unsigned int, Words> cases[] = {
        // operation, request, reply, its expected length, result
        {"write 3 to port 1044", {0x02000002, 0x1044, 0xDEADBEEF, 0x01234567, 0x89ABCDEF, 0},
         {0x02000000, 0}, 8, {}},
        {"read 0", {0x01010000, 0, 0}, {0x01000000, 0xCAFEBABE, 0}, 12, {0xCAFEBABE}},
        {"ping", {0x03000000, 0x7E7D1234, 0}, {0x03000000, 0x7E7D1234, 0}, 12, {0x7E7D1234}},
        // Widths word: address width in bits 7..0, data width in bits 15..8.
        {"info", {0x04000000, 0}, {0x04000000, 0x00002018, 0}, 12, {32, 24}},
        {"address width", {0x04000000, 0}, {0x04000000, 0x00002010, 0}, 12, {16, 16}},
    };
    // clang-format on
    for (const auto& [operation, request, reply, replyLength, result] : cases) {
        Encoder e;
        e.below->queueBytes(wordBytes(reply));
        EXPECT_EQ(perform(e.vci, operation), result) << operation;
        EXPECT_EQ(e.below->written, std::vector<Bytes>{wordBytes(request)}) << operation;
        EXPECT_EQ(e.below->readLengths, Words{replyLength}) << operation;
    }
}

TEST(VciEncoder, BadRepliesAndSettingsThrowTheirTexts) {
    struct Case {
        const char* operation;
        Bytes reply; // none at all when empty: the link below timed out
        std::string message;
        VciEncoding::LinkWidth width = VciEncoding::Width32;
    };
    const std::string narrow = "8 bit encoding is no longer supported";
    const Case cases[] = {
        {"write 18", Bytes(9, 0), "vciwrite failed: reply size = 9, expected 8"},
        {"write 18", {}, "vciwrite failed: No reply received"},
        {"ping", wordBytes({0x03000000, 0}), "vciPing failed: reply size = 8, expected 12"},
        {"info", wordBytes({0x04000000}), "vciinfo failed: reply size = 4, expected 12"},
        // The first word echoes the command alone, not the flag or length.
        {"read 0", wordBytes({0x01010000, 5, 0}), "vciRead failed: wrong vci reply"},
        {"write 18", wordBytes({0x01000000, 0}), "vciWrite failed: wrong vci reply"},
        {"ping", wordBytes({0x04000000, 5, 0}), "vciPing failed: wrong vci reply"},
        {"info", wordBytes({0x03000000, 0x2020, 0}), "vciInfo failed: wrong vci reply"},
        // Refused before anything is sent.
        {"read, increment 2", {}, "Unsupported increment setting"},
        {"write, increment 2", {}, "Unsupported increment setting"},
        {"read 0", {}, narrow, VciEncoding::Width8},
        {"info", {}, narrow, VciEncoding::Width8},
    };
    for (const Case& c : cases) {
        Encoder e(c.width);
        if (!c.reply.empty()) e.below->queueBytes(c.reply);
        EXPECT_EQ(messageOf<VciInterface::Exception>([&] { perform(e.vci, c.operation); }),
                  c.message);
        const bool sent = c.message.find("failed") != std::string::npos;
        EXPECT_EQ(e.below->written.size(), sent ? 1u : 0u) << c.message;
    }
}

TEST(VciEncoder, ErrorBitsOfTheStatusAreOnlyPrinted) {
    const std::pair<unsigned int, std::string> cases[] = {
        {0x00150000, "CRC error\nPacket sop/eop error\nTimeout error\n"},
        {0x002A0000,
         "Internal error in hardware\nUnsupported feature error\nUnknown command error\n"},
        {0x00400000, "Protocol specific error 0\n"},
        {0x50C00000, "Protocol specific error 5\n"},
        {0x30800000, "Protocol specific error 3\n"},
        {0x0F00FFFF, ""},
        {0xFFFF0000, "CRC error\nInternal error in hardware\nPacket sop/eop error\n"
                     "Unsupported feature error\nTimeout error\nUnknown command error\n"
                     "Protocol specific error 15\n"},
    };
    for (const auto& [status, lines] : cases) {
        Encoder e;
        e.below->queueBytes(wordBytes({0x01000000, 0xABCD, status}));
        testing::internal::CaptureStderr();
        EXPECT_EQ(e.vci.vciRead(0x10), 0xABCDu);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), lines) << std::hex << status;
    }
}

TEST(VciDummy, DefaultBurstsStepOneWordOrStayOnAPortAndEachAccessIsTraced) {
    VciDummy dummy;
    dummy.vciBurstWrite(0x100, {1, 2, 3}, VciInterface::Increment);
    dummy.vciBurstWrite(0x200, {4, 5, 6}, VciInterface::NoIncrement);
    EXPECT_EQ(dummy.vciBurstRead(0x100, 4, VciInterface::Increment), (Words{1, 2, 3, 0}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(dummy.vciBurstRead(0x200, 2, VciInterface::NoIncrement), (Words{6, 6}));
    std::cerr << 255 << "\n"; // the stream is left decimal
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "getVciDataWidth\nvciRead 200 6\nvciRead 200 6\n255\n");
}
