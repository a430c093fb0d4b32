#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "common/DataTestApi.h"
#include "common/LoopbackPeer.h"
#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"
#include "data/TolmarenDataConnectionLink.h"
#include "link/TCPSocket.h"

namespace {

// n bytes that differ from their neighbours, so that any shift shows.
std::vector<unsigned char> countingBytes(size_t n) {
    std::vector<unsigned char> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return bytes;
}

void writeFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool sameBytes(const unsigned char* got, const std::vector<unsigned char>& want, size_t from,
               size_t n) {
    return got != nullptr && std::memcmp(got, want.data() + from, n) == 0;
}

bool samePacket(const ElectrodePacket& a, const ElectrodePacket& b) {
    return std::memcmp(a.startTrigger, b.startTrigger, sizeof a.startTrigger) == 0 &&
           std::memcmp(a.synchronization, b.synchronization, sizeof a.synchronization) == 0 &&
           std::memcmp(a.ctrs, b.ctrs, sizeof a.ctrs) == 0 &&
           std::memcmp(a.lfpData, b.lfpData, sizeof a.lfpData) == 0 &&
           std::memcmp(a.apData, b.apData, sizeof a.apData) == 0;
}

TEST(PlaybackLink, ShortRemainderEndsTheStreamForGood) {
    ScopedWorkDir dir;
    const auto bytes = countingBytes(1000);
    writeFile("play.bin", bytes);
    TolmarenDataConnectionLink link("play.bin");

    EXPECT_TRUE(sameBytes(link.rawread(612), bytes, 0, 612));
    EXPECT_EQ(link.rawread(612), nullptr);
    // The 388 bytes left are lost with the failed read: no rewind.
    EXPECT_EQ(link.rawread(1), nullptr);
    EXPECT_TRUE(link.read(1).empty());
}

TEST(PlaybackLink, MissingFileDeliversNothing) {
    ScopedWorkDir dir;
    TolmarenDataConnectionLink link("absent.bin");
    EXPECT_EQ(link.rawread(4), nullptr);
    EXPECT_TRUE(link.read(4).empty());
    ConnectionLinkPacket packet;
    packet << static_cast<unsigned char>(1);
    EXPECT_FALSE(link.write(packet));
}

TEST(PlaybackLink, ReadAndRawreadShareOnePosition) {
    ScopedWorkDir dir;
    const auto bytes = countingBytes(5000);
    writeFile("play.bin", bytes);
    TolmarenDataConnectionLink link("play.bin");

    EXPECT_TRUE(sameBytes(link.rawread(100), bytes, 0, 100));
    const ConnectionLinkPacket packet = link.read(300);
    ASSERT_EQ(packet.size(), 300u);
    EXPECT_TRUE(std::equal(packet.begin(), packet.end(), bytes.begin() + 100));
    EXPECT_TRUE(sameBytes(link.rawread(4600), bytes, 400, 4600));
    EXPECT_TRUE(link.read(1).empty());
}

TEST(PlaybackLink, RequestsBeyondTheBufferAreRefusedWithoutConsuming) {
    ScopedWorkDir dir;
    const unsigned int size = TolmarenDataConnectionLink::bufferSize;
    const auto bytes = countingBytes(size + 10);
    writeFile("play.bin", bytes);
    TolmarenDataConnectionLink link("play.bin");

    EXPECT_EQ(link.rawread(size + 1), nullptr);
    EXPECT_EQ(link.rawread(0xFFFFFFFFu), nullptr);
    EXPECT_TRUE(sameBytes(link.rawread(size), bytes, 0, size));
    EXPECT_TRUE(sameBytes(link.rawread(10), bytes, size, 10));
}

TEST(PlaybackLink, RecordingCopiesExactlyTheDeliveredBytes) {
    ScopedWorkDir dir;
    const auto bytes = countingBytes(4000);
    writeFile("play.bin", bytes);
    TolmarenDataConnectionLink link("play.bin");

    link.rawread(10); // before the recording: not recorded
    link.startRecording("first.bin");
    for (int block = 0; block < 3; ++block)
        ASSERT_NE(link.rawread(612), nullptr);
    link.startRecording("second.bin"); // closes the first
    EXPECT_EQ(link.read(50).size(), 50u);
    EXPECT_EQ(link.rawread(5000), nullptr); // nothing delivered, nothing recorded
    link.stopRecording();

    const std::string first = dir.readFile("first.bin");
    ASSERT_EQ(first.size(), 1836u);
    EXPECT_EQ(0, std::memcmp(first.data(), bytes.data() + 10, 1836));
    const std::string second = dir.readFile("second.bin");
    ASSERT_EQ(second.size(), 50u);
    EXPECT_EQ(0, std::memcmp(second.data(), bytes.data() + 1846, 50));

    // The recording plays back as the blocks it was made of.
    TolmarenDataConnectionLink replay("first.bin");
    for (int block = 0; block < 3; ++block)
        EXPECT_TRUE(sameBytes(replay.rawread(612), bytes, 10 + 612 * block, 612));
    EXPECT_EQ(replay.rawread(1), nullptr);
}

TEST(PlaybackLink, RecordingToAnUnwritablePlaceRecordsNothing) {
    ScopedWorkDir dir;
    writeFile("play.bin", countingBytes(100));
    TolmarenDataConnectionLink link("play.bin");
    link.startRecording("no/such/dir/rec.bin");
    EXPECT_NE(link.rawread(100), nullptr);
    link.stopRecording();
}

TEST(PlaybackOpen, OpensTheFacadeOnARecording) {
    ScopedWorkDir dir;
    writeFile("play.bin", countingBytes(10));
    DataTestApi api;
    api.tolmaren_startLog();
    ASSERT_EQ(api.tolmaren_open("play.bin"), 0u);
    EXPECT_TRUE(api.tolmaren_isConnected());
    EXPECT_TRUE(api.dummyMode_);
    EXPECT_EQ(api.datamodel_->vci2uart.uart_settings.parity_enable.read(), 1u);
    EXPECT_EQ(api.configLink_->vciRead(0x1054), 1u);
    VersionNumber version{9, 9};
    EXPECT_EQ(api.tolmaren_getHardwareVersion(&version), 0u);
    EXPECT_EQ(version.major, 0);
    EXPECT_EQ(version.minor, 0);

    EXPECT_EQ(api.tolmaren_open("play.bin"), 3u);
    api.tolmaren_close();
    EXPECT_FALSE(api.dummyMode_);
    EXPECT_EQ(api.tolmaren_open("play.bin"), 0u);

    const std::string log = dir.readFile("api_log.txt");
    EXPECT_NE(
        log.find(
            "tolmaren_open(play.bin) called\n"
            "data link successfully connected\n"
            "configuration link successfully connected\n"
            "baseConfiguration member of api reset to default values\n"
            "testConfiguration member of api reset to default values\n"
            "shankConfiguration member of api reset to default values\n"
            "(-> i.e., all electrodes disconected +\n"
            "    neither for the odd nor for the even channels the external reference is used)\n"
            "enable use of uart parity bit in basestation fpga\n"
            "api member dummyMode_ is set true\n"),
        std::string::npos);
}

TEST(PlaybackOpen, DataLinkWithoutRegisterSpaceIsReportedAsOpen) {
    ScopedWorkDir dir;
    DataTestApi api;
    api.configLink_ = new VciDummy();
    EXPECT_EQ(api.tolmaren_open("play.bin"), 3u);
    EXPECT_NE(api.dataLink_, nullptr);
    EXPECT_EQ(api.datamodel_, nullptr);
}

TEST(PlaybackOpen, RecordingThroughTheFacade) {
    ScopedWorkDir dir;
    StreamBuilder stream;
    stream.electrodePackets(3);
    stream.writeFile("play.bin");
    DataTestApi api;

    EXPECT_EQ(api.tolmaren_startRecording("rec.bin"), 1u);
    EXPECT_EQ(api.tolmaren_stopRecording(), 1u);
    EXPECT_FALSE(std::ifstream("rec.bin").good());

    ASSERT_EQ(api.tolmaren_open("play.bin"), 0u);
    api.setElectrodeMode(true);
    ElectrodePacket packets[3];
    ASSERT_EQ(api.tolmaren_readElectrodeData(packets[0]), 0u);
    EXPECT_EQ(api.tolmaren_startRecording("rec.bin"), 0u);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packets[1]), 0u);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packets[2]), 0u);
    EXPECT_EQ(api.tolmaren_stopRecording(), 0u);

    const std::string recorded = dir.readFile("rec.bin");
    ASSERT_EQ(recorded.size(), 2u * StreamBuilder::electrodePacketSize);
    EXPECT_EQ(0, std::memcmp(recorded.data(),
                             stream.data().data() + StreamBuilder::electrodePacketSize,
                             recorded.size()));

    // Played back, the recording yields the packets it was made of.
    api.tolmaren_close();
    ASSERT_EQ(api.tolmaren_open("rec.bin"), 0u);
    api.setElectrodeMode(true);
    for (int p = 1; p < 3; ++p) {
        ElectrodePacket replayed;
        ASSERT_EQ(api.tolmaren_readElectrodeData(replayed), 0u);
        EXPECT_TRUE(samePacket(replayed, packets[p])) << "packet " << p;
    }
    ElectrodePacket last;
    EXPECT_EQ(api.tolmaren_readElectrodeData(last), 3u);
}

constexpr unsigned int MiB = TolmarenDataConnectionLink::bufferSize;

TEST(LiveLink, DecodesAndRecordsTheStreamByteForByte) {
    ScopedWorkDir dir;
    // 428 electrode packets fill 3 MiB but for 496 bytes; the rest is the
    // start of packet 428.
    StreamBuilder stream;
    stream.electrodePackets(429);
    stream.data().resize(3 * MiB);
    LoopbackPeer peer;
    peer.send(stream.data());

    DataTestApi api;
    api.attach(new TolmarenDataConnectionLink("127.0.0.1", peer.port()));
    api.setElectrodeMode(true);
    ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
    ElectrodePacket packet;
    for (unsigned int p = 0; p < 428; ++p) {
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u) << "packet " << p;
        ASSERT_EQ(packet.ctrs[11][12], StreamBuilder::patternBlock(p, 11).counters[12]);
    }
    ASSERT_EQ(api.tolmaren_stopRecording(), 0u);

    const std::string recorded = dir.readFile("live.bin");
    ASSERT_EQ(recorded.size(), 428u * StreamBuilder::electrodePacketSize);
    EXPECT_EQ(0, std::memcmp(recorded.data(), stream.data().data(), recorded.size()));
}

TEST(LiveLink, PauseGivesNullThenFreshData) {
    const auto old = countingBytes(MiB + 1000);
    std::vector<unsigned char> fresh = countingBytes(MiB);
    for (auto& byte : fresh)
        byte = static_cast<unsigned char>(~byte);
    LoopbackPeer peer;
    peer.send(old).pause(std::chrono::milliseconds(1500)).send(fresh);

    TolmarenDataConnectionLink link("127.0.0.1", peer.port());
    EXPECT_TRUE(sameBytes(link.rawread(MiB), old, 0, MiB));
    // 1000 bytes come, then nothing for longer than the 1-second time-out.
    EXPECT_EQ(link.rawread(612), nullptr);
    // The partial bytes are gone; the next read waits for new data.
    EXPECT_TRUE(sameBytes(link.rawread(612), fresh, 0, 612));
    EXPECT_TRUE(sameBytes(link.rawread(MiB - 612), fresh, 612, MiB - 612));
}

TEST(LiveLink, ReadContinuesWhereRawreadStopped) {
    const auto bytes = countingBytes(MiB + 100);
    LoopbackPeer peer;
    peer.send(bytes);

    TolmarenDataConnectionLink link("127.0.0.1", peer.port());
    EXPECT_TRUE(sameBytes(link.rawread(1000), bytes, 0, 1000));
    const ConnectionLinkPacket rest = link.read(MiB - 1000 + 100);
    ASSERT_EQ(rest.size(), MiB - 1000u + 100u);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), bytes.begin() + 1000));
}

TEST(LiveLink, WriteSendsThePacket) {
    LoopbackPeer peer;
    TolmarenDataConnectionLink link("127.0.0.1", peer.port());
    ConnectionLinkPacket packet;
    packet << 0x01020304u;
    EXPECT_TRUE(link.write(packet));
    ASSERT_TRUE(peer.waitForReceived(4));
    EXPECT_EQ(peer.received(), (LoopbackPeer::Bytes{1, 2, 3, 4}));
}

TEST(LiveLink, ClosedConnectionThrowsThroughTheReads) {
    LoopbackPeer peer;
    peer.send(countingBytes(100)).closeConnection();
    DataTestApi api;
    api.attach(new TolmarenDataConnectionLink("127.0.0.1", peer.port()));
    api.setElectrodeMode(true);
    ElectrodePacket packet;
    try {
        api.tolmaren_readElectrodeData(packet);
        FAIL() << "no exception";
    } catch (const morvek::FileDescriptor::ReadError& error) {
        EXPECT_STREQ(error.what(), "TCPDescriptor readn failed");
    }
}

TEST(LiveLink, RefusedConnectionThrows) {
    unsigned short port;
    {
        LoopbackPeer closed;
        port = closed.port();
    }
    try {
        TolmarenDataConnectionLink link("127.0.0.1", port);
        FAIL() << "connected to a closed port";
    } catch (const morvek::TCPSocket::Exception& error) {
        EXPECT_EQ(std::string(error.what()).rfind("TCPSocket::connect failed : ", 0), 0u);
    }
}

TEST(LiveLink, FlushDrainsUntilThePauseAndReadingGoesOnAfterIt) {
    StreamBuilder fresh;
    fresh.electrodePackets(143); // just over 1 MiB
    LoopbackPeer peer;
    peer.send(countingBytes(5 * MiB / 2)).pause(std::chrono::milliseconds(1500)).send(fresh.data());

    DataTestApi api;
    api.attach(new TolmarenDataConnectionLink("127.0.0.1", peer.port()));
    api.setElectrodeMode(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(api.tolmaren_flushData(), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(packet.ctrs[0][0], StreamBuilder::patternBlock(0, 0).counters[0]);
    EXPECT_EQ(packet.apData[11][383], 0.0011730206f * StreamBuilder::patternBlock(0, 11).ap[383]);
}

} // namespace
