#include <gtest/gtest.h>

#include "common/ControlTestApi.h"
#include "common/ScopedWorkDir.h"

namespace {

constexpr unsigned int rxData = 0x1040;
constexpr unsigned int txData = 0x1044;
constexpr unsigned int rxCount = 0x1048;
constexpr unsigned int errorFlags = 0x1058;
constexpr unsigned int rxAccel = 0x105C;
constexpr unsigned int txAccel = 0x1060;

std::vector<RecordingVci::Call> burstWrites(const RecordingVci& vci) {
    std::vector<RecordingVci::Call> result;
    for (const auto& call : vci.calls())
        if (call.kind == RecordingVci::Kind::BurstWrite) result.push_back(call);
    return result;
}

unsigned int countReads(const RecordingVci& vci, unsigned int address) {
    unsigned int count = 0;
    for (const auto& read : vci.reads())
        count += read.first == address;
    return count;
}

// The bridge answers with these bytes, each announced by a nonzero count.
void reply(RecordingVci& vci, const std::vector<unsigned int>& bytes) {
    vci.queueReads(rxCount, std::vector<unsigned int>(bytes.size(), 1));
    vci.queueReads(rxData, bytes);
}

TEST(UartTransaction, RegisterWriteAndReadSendTheirCommandWords) {
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    reply(vci, {0xC3});
    EXPECT_EQ(api.tolmaren_headstageWriteRegister(0x31, 0x07), 0u);
    reply(vci, {0xC3, 0x5A});
    unsigned char value = 0;
    EXPECT_EQ(api.tolmaren_headstageReadRegister(0x11, value), 0u);
    EXPECT_EQ(value, 0x5A);
    reply(vci, {0xC3});
    EXPECT_EQ(api.tolmaren_serializerWriteRegister(7, 0x12), 0u);
    reply(vci, {0xC3, 0x01});
    EXPECT_EQ(api.tolmaren_deserializerReadRegister(0x13, value), 0u);

    const auto bursts = burstWrites(vci);
    ASSERT_EQ(bursts.size(), 4u);
    for (const auto& burst : bursts) {
        EXPECT_EQ(burst.address, txData);
        EXPECT_EQ(burst.increment, VciInterface::NoIncrement);
    }
    EXPECT_EQ(bursts[0].words, (std::vector<unsigned int>{0x79, 0x40, 0x31, 0x01, 0x07}));
    EXPECT_EQ(bursts[1].words, (std::vector<unsigned int>{0x79, 0x41, 0x11, 0x01}));
    EXPECT_EQ(bursts[2].words, (std::vector<unsigned int>{0x79, 0x80, 0x07, 0x01, 0x12}));
    EXPECT_EQ(bursts[3].words, (std::vector<unsigned int>{0x79, 0x91, 0x13, 0x01}));
    // One snapshot of the error flags per transaction.
    EXPECT_EQ(countReads(vci, errorFlags), 4u);
}

TEST(UartTransaction, AMissingReplyIsGivenUpAfter2002Polls) {
    ScopedWorkDir dir;
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    api.tolmaren_startLog();
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {0x03}), 2u);
    EXPECT_EQ(countReads(vci, rxCount), 2002u);
    EXPECT_EQ(countReads(vci, rxData), 0u);
    EXPECT_EQ(countReads(vci, errorFlags), 0u);
    EXPECT_EQ(dir.readFile("api_log.txt"), "tolmaren_writeUart(40, 10, 3) called\nuart timeout\n");

    // A reply byte that comes after a few empty polls is still taken.
    vci.clearCalls();
    vci.queueReads(rxCount, {0, 0, 0, 1});
    vci.queueReads(rxData, {0xC3});
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {0x03}), 0u);
    EXPECT_EQ(countReads(vci, rxCount), 4u);
}

TEST(UartTransaction, ReadKeepsTheBytesBeforeATimeOutAndTheCallersValueOnFailure) {
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    reply(vci, {0xC3, 0x11});
    std::vector<unsigned char> bytes = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x60, bytes), 2u);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0x11, 0xEE, 0xEE}));

    reply(vci, {0x00});
    unsigned char value = 0x77;
    EXPECT_EQ(api.tolmaren_headstageReadRegister(0x11, value), 3u);
    EXPECT_EQ(value, 0x77);
}

TEST(UartTransaction, AcceleratedPortsBypassTheCommandProtocol) {
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x51, {0x1C0, 0x0FF, 0x001}), 0u);
    const auto bursts = burstWrites(vci);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(bursts[0].address, txAccel);
    EXPECT_EQ(bursts[0].increment, VciInterface::NoIncrement);
    EXPECT_EQ(bursts[0].words, (std::vector<unsigned int>{0x1C0, 0x0FF, 0x001}));
    EXPECT_EQ(countReads(vci, rxCount), 0u);

    vci.clearCalls();
    vci.queueReads(rxAccel, {0x1A5, 0x03});
    std::vector<unsigned char> bytes(2);
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x52, bytes), 0u);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0xA5, 0x03}));
    ASSERT_EQ(vci.calls().front().kind, RecordingVci::Kind::BurstRead);
    EXPECT_EQ(vci.calls().front().address, rxAccel);
    EXPECT_EQ(vci.calls().front().increment, VciInterface::NoIncrement);
    EXPECT_TRUE(burstWrites(vci).empty());

    // Flag bit 3 fails only the accelerated paths.
    vci.setValue(errorFlags, 0x8);
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x52, bytes), 3u);
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x51, {0x100}), 3u);
    reply(vci, {0xC3});
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {0x00}), 0u);
    // Other devices' register 0x51 is an ordinary register.
    vci.clearCalls();
    reply(vci, {0xC3});
    EXPECT_EQ(api.tolmaren_writeUart(0x80, 0x51, {0x00}), 0u);
    EXPECT_EQ(burstWrites(vci).at(0).address, txData);
}

TEST(UartTransaction, LogLinesAndTheBaseTheyLeaveBehind) {
    ScopedWorkDir dir;
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    api.tolmaren_startLog();
    reply(vci, {0xC3});
    EXPECT_EQ(api.tolmaren_headstageWriteRegister(0x1A, 0xBC), 0u);
    // The write leaves the log in hexadecimal.
    EXPECT_TRUE(api.logBaseIsHex());
    reply(vci, {0xC3, 0x2F});
    unsigned char value = 0;
    EXPECT_EQ(api.tolmaren_headstageReadRegister(0x11, value), 0u);
    reply(vci, {0x3C});
    EXPECT_EQ(api.tolmaren_writeUart(0x90, 0x07, {0x12}), 3u);
    vci.queueReads(rxAccel, {0});
    std::vector<unsigned char> one(1);
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x52, one), 0u);
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x51, {0x1FF}), 0u);
    // Nothing is logged for a write without values.
    reply(vci, {0xC3});
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {}), 0u);

    EXPECT_EQ(dir.readFile("api_log.txt"),
              "tolmaren_headstageWriteRegister(1a, bc) called\n"
              "tolmaren_writeUart(40, 1a, bc) called\n"
              "ack byte: c3\n"
              "with success\n"
              "tolmaren_headstageReadRegister(11, unsigned char & value) called\n"
              "tolmaren_readUart(40, 11, std::vector<unsigned char> & data) called\n"
              "ack byte: c3\n"
              "read byte: 2f\n"
              "with success\n"
              "read value = 2f\n"
              "tolmaren_writeUart(90, 7, 12) called\n"
              "ack byte: 3c\n"
              "without success\n"
              "tolmaren_readUart(40, 52, std::vector<unsigned char> & data) called\n"
              "accelerated RECEIVE\n"
              "tolmaren_writeUart(40, 51, 1ff) called\n"
              "accelerated TRANSMIT\n"
              "ack byte: c3\n"
              "with success\n");
}

TEST(UartTransaction, WithoutConfigurationLinkOnlyTheWriteSaysSo) {
    ScopedWorkDir dir;
    ControlTestApi api;
    api.tolmaren_startLog();
    std::vector<unsigned char> bytes(2, 9);
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {0x01}), 1u);
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x10, bytes), 1u);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{9, 9}));
    EXPECT_EQ(dir.readFile("api_log.txt"),
              "tolmaren_writeUart(40, 10, 1) called\n"
              "no configuration link existing\n"
              "tolmaren_readUart(40, 10, std::vector<unsigned char> & data) called\n");
    // Draining the bridge needs an open probe; without one it does nothing.
    api.tolmaren_resetUart();
}

TEST(UartTransaction, ResetUartDrainsLateBytesAndReadsTheFlagsOnce) {
    ControlTestApi api;
    RecordingVci& vci = api.attachRecording();
    vci.queueReads(rxCount, {2, 1});
    vci.queueReads(rxData, {0xC3, 0x44});
    api.tolmaren_resetUart();
    EXPECT_EQ(vci.reads(), (std::vector<std::pair<unsigned int, unsigned int>>{{rxCount, 2},
                                                                               {rxData, 0xC3},
                                                                               {rxCount, 1},
                                                                               {rxData, 0x44},
                                                                               {rxCount, 0},
                                                                               {errorFlags, 0}}));
}

} // namespace
