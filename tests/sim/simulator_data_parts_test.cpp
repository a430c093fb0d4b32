// The parts of the simulator's data port that the library's end-to-end tests
// do not reach: the data FIFO of real-time pacing, the loopback buffer, and
// the checksum that the recording soak compares a recording with.
#include <gtest/gtest.h>

#include <vector>

#include "sim/DataFifo.h"
#include "sim/LoopbackBuffer.h"
#include "sim/StreamChecksum.h"

TEST(SimulatorDataParts, FifoDropsWhatDoesNotFitAndLeavesAGap) {
    tolmaren_sim::DataFifo fifo(10 * 612 + 100); // room for 10 blocks
    fifo.reset(612);
    EXPECT_EQ(fifo.produce(15), 5u);
    fifo.consume(10);
    EXPECT_EQ(fifo.produce(3), 0u);
    EXPECT_EQ(fifo.front(), std::make_pair(uint64_t(15), uint64_t(3)));
}

TEST(SimulatorDataParts, LoopbackSpillsToAFileAndGivesBytesBackInOrder) {
    tolmaren_sim::LoopbackBuffer buffer(1000, 10000);
    std::vector<uint8_t> sent, received;
    auto push = [&](std::size_t count) {
        std::vector<uint8_t> bytes(count);
        for (std::size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<uint8_t>((sent.size() + i) * 7 % 251);
        const std::size_t taken = buffer.append(bytes.data(), count);
        sent.insert(sent.end(), bytes.begin(), bytes.begin() + long(taken));
        return taken;
    };
    auto pull = [&](std::size_t most) {
        std::size_t count = 0;
        const uint8_t* bytes = buffer.front(count);
        count = std::min(count, most);
        received.insert(received.end(), bytes, bytes + count);
        buffer.consume(count);
    };
    EXPECT_EQ(push(1400), 1400u); // 400 beyond memory: into the file
    pull(500);
    EXPECT_EQ(push(900), 900u);   // behind the file's bytes
    EXPECT_EQ(push(9000), 8200u); // full at 10000
    while (!buffer.empty())
        pull(333);
    EXPECT_EQ(received, sent);
}

// The soak compares a file read in 1-MiB pieces with what the port sent in
// pieces of any size: the split must not matter, and a damaged stream must.
TEST(SimulatorDataParts, ChecksumIgnoresTheSplitAndSeesDamage) {
    std::vector<uint8_t> stream(1001);
    for (std::size_t i = 0; i < stream.size(); ++i)
        stream[i] = static_cast<uint8_t>(i * 37 % 253);
    auto checksum = [](const std::vector<uint8_t>& bytes, std::size_t piece) {
        tolmaren_sim::StreamChecksum sum;
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            sum.add(bytes.data() + at, std::min(piece, bytes.size() - at));
        return sum;
    };
    const auto whole = checksum(stream, stream.size());
    for (std::size_t piece : {1, 3, 7, 8, 9, 500})
        EXPECT_EQ(checksum(stream, piece), whole) << "pieces of " << piece;
    auto flipped = stream, swapped = stream, longer = stream;
    flipped[999] ^= 1;
    std::swap_ranges(swapped.begin(), swapped.begin() + 8, swapped.begin() + 8);
    longer.push_back(0);
    for (const auto& damaged : {flipped, swapped, longer})
        EXPECT_NE(checksum(damaged, 7), whole);
}
