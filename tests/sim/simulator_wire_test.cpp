// The configuration port at the byte level: framing, request formats, error
// replies, robustness against broken input, and connection handling.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "sim/BasestationSimulator.h"
#include "sim/RawConfigClient.h"

using tolmaren_sim::BasestationSimulator;
using tolmaren_sim::ReplyFault;
using tolmaren_sim::SimulatorOptions;

namespace {

constexpr uint32_t statusCrc = 1u << 16;
constexpr uint32_t statusSopEop = 1u << 18;
constexpr uint32_t statusUnsupported = 1u << 19;
constexpr uint32_t statusUnknownCommand = 1u << 21;

SimulatorOptions ephemeral() {
    SimulatorOptions options;
    options.address = "127.0.0.1";
    options.configPort = 0;
    return options;
}

class SimulatorWire : public ::testing::Test {
protected:
    void SetUp() override { sim.start(); }
    BasestationSimulator sim{ephemeral()};
};

using Words = std::vector<uint32_t>;

} // namespace

TEST_F(SimulatorWire, RepliesAreStuffedFramesPaddedToWholeWords) {
    RawConfigClient client(sim.configPort());
    client.sendRequest({0x03000000, 0x7E010203, 0});
    // 03000000, the echoed value with its 0x7E escaped, a clean status.
    const std::vector<uint8_t> expected{0x7E, 0x03, 0x00, 0x00, 0x00, 0x7D, 0x5E, 0x01,
                                        0x02, 0x03, 0x00, 0x00, 0x00, 0x00, 0x7E};
    EXPECT_EQ(client.readRawFrame(), expected);
    // 15 bytes so far: one fill flag completes the fourth word, then nothing.
    EXPECT_EQ(client.readByte(500), std::optional<uint8_t>(0x7E));
    EXPECT_EQ(client.readByte(100), std::nullopt);

    client.sendRequest({0x03000000, 0x00007D00, 0});
    EXPECT_EQ(client.readReply(), (Words{0x03000000, 0x00007D00, 0}));
}

TEST_F(SimulatorWire, ReceiverHuntsSkipsFillAndTakesBackToBackFrames) {
    RawConfigClient client(sim.configPort());
    std::vector<uint8_t> bytes{0x55, 0xAA, 0x7E, 0x7E, 0x7E};
    const auto first = RawConfigClient::wordBytes({0x03000000, 1, 0});
    const auto second = RawConfigClient::wordBytes({0x03000000, 2, 0});
    bytes.insert(bytes.end(), first.begin(), first.end());
    bytes.push_back(0x7E);
    // Once synchronised a frame needs no opening flag.
    bytes.insert(bytes.end(), second.begin(), second.end());
    bytes.push_back(0x7E);
    client.sendBytes(bytes);
    EXPECT_EQ(client.readReply(), (Words{0x03000000, 1, 0}));
    EXPECT_EQ(client.readReply(), (Words{0x03000000, 2, 0}));

    // A request trickling in byte by byte.
    for (uint8_t b : RawConfigClient::frame(RawConfigClient::wordBytes({0x03000000, 3, 0}))) {
        client.sendBytes({b});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(client.readReply(), (Words{0x03000000, 3, 0}));
}

TEST_F(SimulatorWire, AnswersEachCommandInItsFormat) {
    RawConfigClient client(sim.configPort());
    const Words info = client.transact({0x04000000, 0});
    ASSERT_EQ(info.size(), 3u);
    EXPECT_EQ(info[0], 0x04000000u);
    EXPECT_EQ((info[1] >> 8) & 0xFF, 32u); // one 32-bit word per register
    EXPECT_EQ(info[2], 0u);

    // Incrementing burst write over the display registers, read back likewise.
    EXPECT_EQ(client.transact({0x02010002, 0x1020, 0x41424344, 0x45464748, 0x494A4B4C, 0}),
              (Words{0x02000000, 0}));
    EXPECT_EQ(client.transact({0x01010002, 0x1020, 0}),
              (Words{0x01000000, 0x41424344, 0x45464748, 0x494A4B4C, 0}));

    // Without increment every word goes to the same register: the last stays.
    EXPECT_EQ(client.transact({0x02000002, 0x1000, 7, 8, 9, 0}), (Words{0x02000000, 0}));
    EXPECT_EQ(client.transact({0x01000001, 0x1000, 0}), (Words{0x01000000, 9, 9, 0}));
    EXPECT_EQ(sim.registerValue(0x1000), 9u);
}

TEST_F(SimulatorWire, MalformedRequestsGetErrorBitsAndChangeNothing) {
    RawConfigClient client(sim.configPort());
    EXPECT_EQ(client.transact({0x05000000, 0}), (Words{0x05000000, statusUnknownCommand}));
    EXPECT_EQ(client.transact({0xFF123456, 1, 2, 0}), (Words{0xFF000000, statusUnknownCommand}));
    // A read with a word too many, and one without its final 0.
    EXPECT_EQ(client.transact({0x01010000, 0x1000, 0, 0}), (Words{0x01000000, statusSopEop}));
    EXPECT_EQ(client.transact({0x01010000, 0x1000, 5}), (Words{0x01000000, statusSopEop}));
    // A write announcing two words but carrying one.
    EXPECT_EQ(client.transact({0x02010001, 0x1000, 0x55, 0}), (Words{0x02000000, statusSopEop}));
    // Increment flag 2.
    EXPECT_EQ(client.transact({0x02020000, 0x1000, 0x66, 0}),
              (Words{0x02000000, statusUnsupported}));
    EXPECT_EQ(client.transact({0x04000000, 0, 0}), (Words{0x04000000, statusSopEop}));
    // Six bytes are not whole words.
    client.sendBytes(RawConfigClient::frame({0x03, 0, 0, 0, 0, 1}));
    EXPECT_EQ(client.readReply(), (Words{0x03000000, statusSopEop}));

    EXPECT_EQ(sim.registerValue(0x1000), 0u);
    EXPECT_EQ(sim.counters().malformedRequests, 8u);
}

TEST_F(SimulatorWire, BrokenFramesAreDroppedWithoutReply) {
    RawConfigClient client(sim.configPort());
    client.sendBytes(RawConfigClient::frame({0x03, 0x00, 0x00})); // shorter than a word
    client.sendBytes({0x7E, 0x03, 0x7D, 0x7E});                   // escape before the flag
    std::vector<uint8_t> huge((65536 + 3) * 4 + 4, 0x11);         // longer than any request
    client.sendBytes(RawConfigClient::frame(huge));
    client.sendRequest({0x03000000, 42, 0});
    EXPECT_EQ(client.readReply(), (Words{0x03000000, 42, 0}));
    EXPECT_EQ(sim.counters().droppedFrames, 3u);
}

TEST_F(SimulatorWire, SurvivesRandomBytesAndResynchronises) {
    RawConfigClient client(sim.configPort());
    std::mt19937 random(12345);
    std::vector<uint8_t> noise(1 << 16);
    for (auto& b : noise) {
        const uint32_t r = random();
        b = (r % 16 == 0) ? 0x7E : (r % 16 == 1) ? 0x7D : static_cast<uint8_t>(r >> 8);
    }
    client.sendBytes(noise);
    client.sendBytes({0x7E});
    client.sendRequest({0x03000000, 0xC0FFEE, 0});
    bool found = false;
    for (int i = 0; i < 20000 && !found; ++i) {
        auto reply = client.readReply(2000);
        ASSERT_TRUE(reply) << "the simulator stopped answering";
        found = *reply == Words{0x03000000, 0xC0FFEE, 0};
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(sim.running());
}

TEST_F(SimulatorWire, NextClientIsServedOnceThePreviousCloses) {
    auto first = std::make_unique<RawConfigClient>(sim.configPort());
    EXPECT_EQ(first->transact({0x03000000, 1, 0}), (Words{0x03000000, 1, 0}));

    RawConfigClient second(sim.configPort());
    second.sendRequest({0x03000000, 2, 0});
    EXPECT_EQ(second.readReply(300), std::nullopt);
    first.reset();
    EXPECT_EQ(second.readReply(1000), (Words{0x03000000, 2, 0}));
    second.close();

    RawConfigClient third(sim.configPort());
    EXPECT_EQ(third.transact({0x03000000, 3, 0}), (Words{0x03000000, 3, 0}));
    EXPECT_EQ(sim.counters().connections, 3u);
}

TEST_F(SimulatorWire, StopIsPromptWithAClientWaitingForALateReply) {
    auto faults = sim.faults();
    faults.reply = ReplyFault::LateReply;
    faults.lateReplyMs = 10000;
    sim.setFaults(faults);
    RawConfigClient client(sim.configPort());
    client.sendRequest({0x03000000, 1, 0});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const auto begin = std::chrono::steady_clock::now();
    sim.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
    EXPECT_FALSE(sim.running());
    EXPECT_EQ(client.readByte(500), std::nullopt);
    EXPECT_TRUE(client.closed());
}

TEST_F(SimulatorWire, StatusErrorBitsAreInjectedIntoEveryReply) {
    auto faults = sim.faults();
    faults.statusErrorBits = 0x0001;
    sim.setFaults(faults);
    RawConfigClient client(sim.configPort());
    EXPECT_EQ(client.transact({0x03000000, 5, 0}), (Words{0x03000000, 5, statusCrc}));
    EXPECT_EQ(client.transact({0x05000000, 0}),
              (Words{0x05000000, statusUnknownCommand | statusCrc}));
}

TEST(SimulatorStart, FailsWhenThePortIsTaken) {
    BasestationSimulator first(ephemeral());
    first.start();
    SimulatorOptions options = ephemeral();
    options.configPort = first.configPort();
    BasestationSimulator second(options);
    EXPECT_THROW(second.start(), std::runtime_error);
}
