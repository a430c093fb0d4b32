// The tool library's reader of raw recordings: codes and LFP channels where
// the stream layout puts them, a damaged block costing exactly its packet,
// counter gaps, and files that are not whole blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"
#include "tolmaren_tools/ChannelStatistics.h"
#include "tolmaren_tools/RecordingReader.h"
#include "tolmaren_tools/ToolError.h"

using tolmaren_tools::CodePacket;
using tolmaren_tools::RecordingReader;

namespace {

constexpr unsigned int blockSize = 612;

// Block counter 12 p + b of pattern block b of packet p, plus 100 from
// packet 3 on.
uint32_t blockCounter(unsigned int p, unsigned int b) {
    return 12 * p + b + (p >= 3 ? 100 : 0);
}

} // namespace

TEST(RecordingReader, DropsOnlyTheDamagedPacketsAndCountsGaps) {
    ScopedWorkDir dir;
    StreamBuilder stream;
    stream.electrodePackets(6);
    auto& bytes = stream.data();
    for (unsigned int p = 0; p < 6; ++p)
        for (unsigned int b = 0; b < 12; ++b) {
            const uint32_t word = 0xC0000000u | blockCounter(p, b); // counter word 0
            for (unsigned int k = 0; k < 4; ++k)
                bytes[(12 * p + b) * blockSize + 4 + k] =
                    static_cast<unsigned char>(word >> (24 - 8 * k));
        }
    // Packet 1, block 5: the marker of its first AP data word.
    bytes[(12 + 5) * blockSize + 100] |= 0x80;
    // Packet 4 lost its blocks 6 to 11, as when the basestation drops data.
    bytes.erase(bytes.begin() + (12 * 4 + 6) * blockSize, bytes.begin() + 12 * 5 * blockSize);
    stream.writeFile("rec.bin");

    RecordingReader reader("rec.bin");
    auto packet = std::make_unique<CodePacket>();
    tolmaren_tools::ChannelStatistics statistics;
    double sum = 0, squares = 0;
    for (const unsigned int p : {0u, 2u, 3u, 5u}) {
        ASSERT_TRUE(reader.next(*packet)) << p;
        statistics.add(*packet);
        for (unsigned int b = 0; b < 12; ++b) {
            const unsigned int n = 12 * p + b;
            EXPECT_EQ(packet->counter[b][0], blockCounter(p, b));
            EXPECT_EQ(packet->synchronization[b], StreamBuilder::sync(n));
            EXPECT_EQ(packet->startTrigger[b], StreamBuilder::trigger(n));
            for (unsigned int c = 0; c < 384; ++c)
                ASSERT_EQ(packet->ap[b][c], StreamBuilder::ap(n, c)) << p << " " << b << " " << c;
            // Block b carries channels 2b and 2b+1 of every group of 24.
            for (unsigned int v = 0; v < 32; ++v)
                ASSERT_EQ(packet->lfp[24 * (v / 2) + 2 * b + v % 2], StreamBuilder::lfp(n, v));
            sum += StreamBuilder::ap(n, 7);
            squares += double(StreamBuilder::ap(n, 7)) * StreamBuilder::ap(n, 7);
        }
    }
    EXPECT_FALSE(reader.next(*packet));
    EXPECT_EQ(reader.counts().packets, 4u);
    // Packet 1's damaged block and its blocks 6 to 11 out of place; packet 5's
    // first block cutting packet 4 short.
    EXPECT_EQ(reader.counts().decodeErrors, 8u);
    // After block 4 of packet 1, where the counter jumps, inside packet 4.
    EXPECT_EQ(reader.counts().counterGaps, 3u);
    const double mean = sum / 48;
    EXPECT_NEAR(statistics.ap(7).mean(), mean, 1e-9);
    EXPECT_NEAR(statistics.ap(7).deviation(), std::sqrt(squares / 48 - mean * mean), 1e-6);
}

TEST(RecordingReader, RefusesFilesThatAreNotWholeBlocks) {
    ScopedWorkDir dir;
    std::ofstream("empty.bin");
    std::ofstream("cut.bin") << std::string(StreamBuilder::electrodePacketSize + 100, 'x');
    for (const char* file : {"missing.bin", "empty.bin", "cut.bin"})
        EXPECT_THROW(RecordingReader reader(file), tolmaren_tools::ToolError) << file;
}
