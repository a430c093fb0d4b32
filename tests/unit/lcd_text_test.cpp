#include <gtest/gtest.h>

#include "api/LcdText.h"
#include "common/ControlTestApi.h"
#include "common/ScopedWorkDir.h"

namespace {

TEST(LcdText, GroupsOfFourInReverseOrderFirstCharacterHighest) {
    EXPECT_EQ(LcdText::registerWords("ABCDEFGHIJKLMNOP"),
              (std::array<uint32_t, 4>{0x4D4E4F50, 0x494A4B4C, 0x45464748, 0x41424344}));
    EXPECT_EQ(LcdText::registerWords("0123456789abcdef"),
              (std::array<uint32_t, 4>{0x63646566, 0x38396162, 0x34353637, 0x30313233}));
    // Codes above 0x7F stay 8-bit and do not spill into their neighbours.
    const std::string high = "\xE9" + std::string(14, ' ') + "\xFF";
    EXPECT_EQ(LcdText::registerWords(high)[0], 0x202020FFu);
    EXPECT_EQ(LcdText::registerWords(high)[3], 0xE9202020u);
    EXPECT_THROW(LcdText::registerWords("short"), std::invalid_argument);
}

TEST(LcdText, WriteLcdFillsTheEightDisplayRegistersOrRefusesBadLines) {
    ScopedWorkDir dir;
    ControlTestApi api;
    api.tolmaren_startLog();
    EXPECT_EQ(api.tolmaren_writeLCD("ABCDEFGHIJKLMNOP", "0123456789abcdef"), 1u);

    RecordingVci& vci = api.attachRecording();
    EXPECT_EQ(api.tolmaren_writeLCD("ABCDEFGHIJKLMNOP", "0123456789abcdef"), 0u);
    const std::vector<std::pair<unsigned int, unsigned int>> expected = {
        {0x1020, 0x4D4E4F50}, {0x1024, 0x494A4B4C}, {0x1028, 0x45464748}, {0x102C, 0x41424344},
        {0x1030, 0x63646566}, {0x1034, 0x38396162}, {0x1038, 0x34353637}, {0x103C, 0x30313233}};
    EXPECT_EQ(vci.writes(), expected);

    vci.clearCalls();
    EXPECT_EQ(api.tolmaren_writeLCD("ABCDEFGHIJKLMNOP", "0123456789abcde"), 3u);
    EXPECT_EQ(api.tolmaren_writeLCD("ABCDEFGHIJKLMNOPQ", "0123456789abcdef"), 3u);
    EXPECT_TRUE(vci.calls().empty());

    EXPECT_EQ(dir.readFile("api_log.txt"),
              "tolmaren_writeLCD(ABCDEFGHIJKLMNOP,0123456789abcdef) called \n"
              "tolmaren_writeLCD(ABCDEFGHIJKLMNOP,0123456789abcdef) called \n"
              "tolmaren_writeLCD(ABCDEFGHIJKLMNOP,0123456789abcde) called \n"
              "tolmaren_writeLCD(ABCDEFGHIJKLMNOPQ,0123456789abcdef) called \n");
}

} // namespace
