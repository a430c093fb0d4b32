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

// Pattern block b of packet p with block counter 12 p + b, plus `jump` from
// packet 3 on.
StreamBuilder::ElectrodeBlock block(unsigned int p, unsigned int b) {
    StreamBuilder::ElectrodeBlock result = StreamBuilder::patternBlock(p, b);
    result.counters[0] = 12 * p + b + (p >= 3 ? 100 : 0);
    return result;
}

} // namespace

TEST(RecordingReader, DropsOnlyTheDamagedPacketsAndCountsGaps) {
    ScopedWorkDir dir;
    StreamBuilder stream;
    // Packet 4 lost its blocks 6 to 11, as when the basestation drops data.
    for (unsigned int p = 0; p < 6; ++p)
        for (unsigned int b = 0; b < (p == 4 ? 6 : 12); ++b)
            stream.electrodeBlock(block(p, b));
    // Packet 1, block 5: the marker of its first AP data word.
    stream.data()[(12 + 5) * StreamBuilder::electrodeBlockSize + StreamBuilder::apOffset] |= 0x80;
    stream.writeFile("rec.bin");

    RecordingReader reader("rec.bin");
    auto packet = std::make_unique<CodePacket>();
    tolmaren_tools::ChannelStatistics statistics;
    double sum = 0, squares = 0;
    for (const unsigned int p : {0u, 2u, 3u, 5u}) {
        ASSERT_TRUE(reader.next(*packet)) << p;
        statistics.add(*packet);
        for (unsigned int b = 0; b < 12; ++b) {
            const auto expected = block(p, b);
            EXPECT_EQ(packet->counter[b], expected.counters[0]);
            EXPECT_EQ(packet->synchronization[b], expected.synchronization);
            EXPECT_EQ(packet->startTrigger[b], expected.startTrigger);
            for (unsigned int c = 0; c < 384; ++c)
                ASSERT_EQ(packet->ap[b][c], expected.ap[c]) << p << " " << b << " " << c;
            // Block b carries channels 2b and 2b+1 of every group of 24.
            for (unsigned int v = 0; v < 32; ++v)
                ASSERT_EQ(packet->lfp[24 * (v / 2) + 2 * b + v % 2], expected.lfp[v]);
            sum += expected.ap[7];
            squares += double(expected.ap[7]) * expected.ap[7];
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
