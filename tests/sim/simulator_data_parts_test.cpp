// The pieces of the simulator's data port on their own: the stream encoder
// against the library's decoder and the layout tables, the data FIFO, the
// loopback buffer with its spill file.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "data/ElectrodePacket.h"
#include "sim/DataFifo.h"
#include "sim/DataStreamEncoder.h"
#include "sim/LoopbackBuffer.h"

using tolmaren_sim::DataFifo;
using tolmaren_sim::DataStreamEncoder;
using tolmaren_sim::LoopbackBuffer;

namespace {

uint32_t wordAt(const std::vector<uint8_t>& bytes, std::size_t offset) {
    return (uint32_t(bytes[offset]) << 24) | (uint32_t(bytes[offset + 1]) << 16) |
           (uint32_t(bytes[offset + 2]) << 8) | bytes[offset + 3];
}

int codeOf(float volts) {
    return static_cast<int>(std::lround(volts / 0.0011730206f));
}

} // namespace

TEST(SimulatorDataEncoder, WordsFollowTheLayoutTables) {
    // Header: marker 01, index in bits 20..17, trigger bit 16, sync 15..0.
    EXPECT_EQ(DataStreamEncoder::headerWord(5, true, 0x1234), 0x400B1234u);
    EXPECT_EQ(DataStreamEncoder::headerWord(11, false, 0xFFFF), 0x4016FFFFu);
    // Counter: marker 11, bit 29 and bits 28..24 clear, 24-bit value (wrapping).
    EXPECT_EQ(DataStreamEncoder::counterWord(0x123456), 0xC0123456u);
    EXPECT_EQ(DataStreamEncoder::counterWord(0x1000001), 0xC0000001u);
    // Data word: first code in bits 9..0, third in 29..20, marker 00.
    EXPECT_EQ(DataStreamEncoder::dataWord(1, 2, 3), (3u << 20) | (2u << 10) | 1u);
    EXPECT_EQ(DataStreamEncoder::dataWord(1023, 1023, 1023), 0x3FFFFFFFu);
    // LFP places: code 0 of block 0 is channel 0, code 2 of block 0 channel
    // 24, code 31 of block 11 channel 383.
    EXPECT_EQ(DataStreamEncoder::lfpChannel(0, 0), 0u);
    EXPECT_EQ(DataStreamEncoder::lfpChannel(0, 2), 24u);
    EXPECT_EQ(DataStreamEncoder::lfpChannel(11, 31), 383u);
}

TEST(SimulatorDataEncoder, PacketsDecodeWithTheLibraryToTheCodesPutIn) {
    // AP code of channel c in block b: (c + 37 b) mod 1024; LFP code of
    // channel c: 1023 - c. Every channel's LFP code travels exactly once.
    std::vector<uint16_t> lfp(384);
    for (unsigned int c = 0; c < 384; ++c)
        lfp[c] = static_cast<uint16_t>(1023 - c);
    ElectrodePacket packet;
    for (unsigned int b = 0; b < 12; ++b) {
        std::vector<uint16_t> ap(384);
        for (unsigned int c = 0; c < 384; ++c)
            ap[c] = static_cast<uint16_t>((c + 37 * b) % 1024);
        std::vector<uint8_t> block(DataStreamEncoder::blockSize, 0xEE);
        DataStreamEncoder::electrodeData(block.data(), b, ap.data(), lfp.data());
        DataStreamEncoder::stampElectrode(block.data(), 24 + b, b % 2 == 1);
        // The unused third code of the 11th LFP word is 0.
        EXPECT_EQ(wordAt(block, DataStreamEncoder::lfpOffset + 40) >> 20, 0u);
        ASSERT_TRUE(packet.decodeBlock(b, block.data())) << "block " << b;
        EXPECT_EQ(packet.ctrs[b][0], 24 + b);
        EXPECT_EQ(packet.ctrs[b][12], (24 + b) * 12 + 11);
        EXPECT_EQ(packet.startTrigger[b], b % 2 == 1);
        for (unsigned int c = 0; c < 384; c += 41)
            EXPECT_EQ(codeOf(packet.apData[b][c]), static_cast<int>((c + 37 * b) % 1024));
    }
    for (unsigned int c = 0; c < 384; ++c)
        ASSERT_EQ(codeOf(packet.lfpData[c]), static_cast<int>(1023 - c)) << "channel " << c;
}

TEST(SimulatorDataEncoder, AdcRecordsCarryCounterAndCodesInOrder) {
    std::vector<uint16_t> codes(32);
    std::iota(codes.begin(), codes.end(), uint16_t(990));
    std::vector<uint8_t> record(DataStreamEncoder::recordSize);
    DataStreamEncoder::adcData(record.data(), codes.data());
    DataStreamEncoder::stampAdc(record.data(), 77);
    EXPECT_EQ(wordAt(record, 0), 0xC000004Du);
    EXPECT_EQ(wordAt(record, 4), DataStreamEncoder::dataWord(990, 991, 992));
    // The 11th word: codes 30 and 31, third code unused.
    EXPECT_EQ(wordAt(record, 44), DataStreamEncoder::dataWord(1020, 1021, 0));
}

TEST(SimulatorDataFifo, DropsWhatDoesNotFitAndKeepsTheSequence) {
    DataFifo fifo(10 * 612 + 100); // room for 10 blocks
    fifo.reset(612);
    EXPECT_EQ(fifo.produce(15), 5u);
    EXPECT_EQ(fifo.front(), std::make_pair(uint64_t(0), uint64_t(10)));
    EXPECT_EQ(fifo.fillRegister(), static_cast<uint32_t>((10 * 612ull << 28) / (10 * 612 + 100)));
    fifo.consume(4);
    EXPECT_EQ(fifo.front(), std::make_pair(uint64_t(4), uint64_t(6)));
    // The dropped units 10 to 14 leave a gap: the next run starts at 15.
    EXPECT_EQ(fifo.produce(3), 0u);
    fifo.consume(6);
    EXPECT_EQ(fifo.front(), std::make_pair(uint64_t(15), uint64_t(3)));
    fifo.consume(100);
    EXPECT_TRUE(fifo.empty());
    EXPECT_EQ(fifo.fillRegister(), 0u);
    fifo.reset(48, 0);
    EXPECT_EQ(fifo.produce(2), 0u);
    EXPECT_EQ(fifo.bytes(), 96u);
}

TEST(SimulatorDataLoopback, SpillsToAFileAndGivesBytesBackInOrder) {
    LoopbackBuffer buffer(1000, 10000);
    std::vector<uint8_t> sent;
    std::vector<uint8_t> received;
    auto push = [&](std::size_t count) {
        std::vector<uint8_t> bytes(count);
        for (auto& b : bytes)
            b = static_cast<uint8_t>((sent.size() + (&b - bytes.data())) * 7 % 251);
        const std::size_t taken = buffer.append(bytes.data(), bytes.size());
        sent.insert(sent.end(), bytes.begin(), bytes.begin() + static_cast<long>(taken));
        return taken;
    };
    auto pull = [&](std::size_t most) {
        std::size_t count = 0;
        const uint8_t* bytes = buffer.front(count);
        count = std::min(count, most);
        received.insert(received.end(), bytes, bytes + count);
        buffer.consume(count);
    };
    EXPECT_EQ(push(700), 700u);
    EXPECT_EQ(push(700), 700u); // 300 beyond memory: into the file
    pull(500);
    EXPECT_EQ(push(900), 900u); // still behind the file's bytes
    EXPECT_EQ(buffer.size(), 1800u);
    // Full at 10000: the rest is refused.
    EXPECT_EQ(push(9000), 8200u);
    EXPECT_EQ(buffer.room(), 0u);
    while (!buffer.empty())
        pull(333);
    EXPECT_EQ(received, sent);
    // Empty again, it takes bytes into memory first.
    EXPECT_EQ(push(10), 10u);
    pull(10);
    EXPECT_EQ(received, sent);
}
