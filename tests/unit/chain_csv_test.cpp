// Configuration chains in CSV files: one line per bit, the bit set only when
// the text before the first comma is exactly 1, the length checked per chain.
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"

namespace {

void writeLines(const char* file, std::size_t count, const std::string& line = "0,") {
    std::ofstream out(file);
    for (std::size_t i = 0; i < count; ++i)
        out << line << "\n";
}

} // namespace

TEST(ChainCsv, ReadersCheckTheFileAndTheChainLength) {
    ScopedWorkDir dir;
    DataTestApi api;
    api.setProbeType(2);
    writeLines("base7413.csv", 7413);
    writeLines("empty.csv", 0);
    writeLines("shank961.csv", 961);
    writeLines("shank962.csv", 962);
    writeLines("test18.csv", 18);
    EXPECT_EQ(api.tolmaren_readBaseConfigurationFromCsv("missing.csv"), 1u);
    // Never waited on nor read without end: not a file a chain is kept in.
    ASSERT_EQ(mkfifo("fifo.csv", 0600), 0);
    EXPECT_EQ(api.tolmaren_readBaseConfigurationFromCsv("fifo.csv"), 1u);
    EXPECT_EQ(api.tolmaren_readTestConfigurationFromCsv("/dev/urandom"), 1u);
    EXPECT_EQ(api.tolmaren_readBaseConfigurationFromCsv("base7413.csv"), 2u);
    EXPECT_EQ(api.tolmaren_readBaseConfigurationFromCsv("empty.csv"), 2u);
    EXPECT_EQ(api.tolmaren_readShankConfigurationFromCsv("shank961.csv"), 2u);
    EXPECT_EQ(api.tolmaren_readShankConfigurationFromCsv("shank962.csv"), 0u);
    EXPECT_EQ(api.tolmaren_readTestConfigurationFromCsv("base7413.csv"), 2u);
    EXPECT_EQ(api.tolmaren_readTestConfigurationFromCsv("test18.csv"), 0u);
    // A refused base chain leaves the model as it was: channel 1's AP gain
    // stays the default 1 (chain bits 248 to 250).
    std::vector<bool> chain;
    api.baseConfiguration.getChain(chain);
    EXPECT_EQ(std::vector<bool>(chain.begin() + 248, chain.begin() + 251),
              (std::vector<bool>{1, 0, 0}));
    api.setProbeType(0); // no shank chain: any length goes
    EXPECT_EQ(api.tolmaren_readShankConfigurationFromCsv("shank961.csv"), 0u);
}

TEST(ChainCsv, OnlyAPlainOneIsASetBitAndWritingReadsBack) {
    ScopedWorkDir dir;
    {
        std::ofstream out("test.csv");
        for (const char* line : {"1", "true,", " 1,", "1 ,", "", "1,"})
            out << line << "\n";
        for (int i = 0; i < 12; ++i)
            out << "0,\n";
    }
    Tolmaren_basestation_api api;
    ASSERT_EQ(api.tolmaren_readTestConfigurationFromCsv("test.csv"), 0u);
    std::vector<bool> chain;
    api.testConfiguration.getChain(chain);
    const std::vector<bool> expected = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(chain, expected);
    api.tolmaren_writeTestConfigurationToCsv("written.csv");
    std::string text;
    for (const bool bit : expected)
        text += bit ? "1,\n" : "0,\n";
    EXPECT_EQ(dir.readFile("written.csv"), text);
}
