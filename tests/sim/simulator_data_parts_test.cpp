// The parts of the simulator's data port that the library's end-to-end tests
// do not reach: the data FIFO of real-time pacing and the loopback buffer.
#include <gtest/gtest.h>

#include <vector>

#include "sim/DataFifo.h"
#include "sim/LoopbackBuffer.h"

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
