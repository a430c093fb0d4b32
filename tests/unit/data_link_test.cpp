// The data link: playback of a file, recording of every delivered byte, and
// a live stream served by a loopback peer.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "common/DataTestApi.h"
#include "common/LoopbackPeer.h"
#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"
#include "data/TolmarenDataConnectionLink.h"
#include "link/FileDescriptor.h"

namespace {

using S = StreamBuilder;
using Bytes = std::vector<unsigned char>;

std::string slice(const Bytes& bytes, size_t from, size_t n) {
    return std::string(bytes.begin() + long(from), bytes.begin() + long(from + n));
}

bool delivered(const unsigned char* got, const Bytes& bytes, size_t from, size_t n) {
    return got != nullptr && std::memcmp(got, bytes.data() + from, n) == 0;
}

TEST(DataLink, PlaybackDeliversTheFileOnceAndRecordsWhatItDelivers) {
    ScopedWorkDir dir;
    const unsigned int MiB = TolmarenDataConnectionLink::bufferSize;
    Bytes bytes(MiB + 2000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
    std::ofstream("play.bin", std::ios::binary)
        .write(reinterpret_cast<char*>(bytes.data()), MiB + 2000);
    TolmarenDataConnectionLink link("play.bin");
    EXPECT_TRUE(delivered(link.rawread(10), bytes, 0, 10));
    link.startRecording("first.bin");
    for (size_t block = 0; block < 3; ++block)
        EXPECT_TRUE(delivered(link.rawread(612), bytes, 10 + 612 * block, 612));
    link.startRecording("second.bin"); // closes the first
    ConnectionLinkPacket packet = link.read(50);
    EXPECT_EQ(std::string(packet.begin(), packet.end()), slice(bytes, 1846, 50));
    EXPECT_FALSE(link.write(packet));
    link.stopRecording();
    // A request beyond the buffer is refused. Of the last 104 bytes a longer
    // request gets nothing, and they are lost.
    EXPECT_EQ(link.rawread(MiB + 1), nullptr);
    EXPECT_TRUE(delivered(link.rawread(MiB), bytes, 1896, MiB));
    EXPECT_EQ(link.rawread(105), nullptr);
    EXPECT_EQ(link.rawread(1), nullptr);
    EXPECT_TRUE(link.read(1).empty());
    EXPECT_EQ(dir.readFile("first.bin"), slice(bytes, 10, 1836));
    EXPECT_EQ(dir.readFile("second.bin"), slice(bytes, 1846, 50));
}

TEST(DataLink, PlaybackOpenAndRecordingThroughTheFacade) {
    ScopedWorkDir dir;
    S stream;
    stream.electrodePackets(3).writeFile("play.bin");
    DataTestApi api;
    api.tolmaren_startLog();
    EXPECT_EQ(api.tolmaren_startRecording("rec.bin"), 1u);
    EXPECT_EQ(api.tolmaren_stopRecording(), 1u);
    EXPECT_FALSE(std::ifstream("rec.bin").good());

    // The open resets the three chain models.
    api.baseConfiguration.setAllAPGains(3);
    api.shankConfiguration.setEvenReference(false);
    api.testConfiguration.settings12to15[1] = true;
    ASSERT_EQ(api.tolmaren_open("play.bin"), 0u);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[0].apGain, 1u);
    EXPECT_TRUE(api.shankConfiguration.getEvenReference());
    EXPECT_FALSE(api.testConfiguration.settings12to15[1]);
    EXPECT_EQ(api.configLink_->vciRead(0x1054), 1u); // t_uart_settings.parity_enable
    const std::string log = dir.readFile("api_log.txt");
    EXPECT_NE(log.find("tolmaren_open(play.bin) called\n"
                       "data link successfully connected\n"
                       "configuration link successfully connected\n"
                       "baseConfiguration member of api reset to default values\n"
                       "testConfiguration member of api reset to default values\n"
                       "shankConfiguration member of api reset to default values\n"
                       "(-> i.e., all electrodes disconected +\n    neither for the odd "
                       "nor for the even channels the external reference is used)\n"
                       "enable use of uart parity bit in basestation fpga\n"
                       "api member dummyMode_ is set true\n"),
              std::string::npos);

    api.setElectrodeMode(true);
    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(api.tolmaren_open("play.bin"), 3u); // and the link reads on
    EXPECT_EQ(api.tolmaren_startRecording("rec.bin"), 0u);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(api.tolmaren_stopRecording(), 0u);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(dir.readFile("rec.bin"), slice(stream.data(), S::electrodePacketSize, 7344));

    // Played back, the recording is the packet it was made of.
    api.tolmaren_close();
    ASSERT_EQ(api.tolmaren_open("rec.bin"), 0u);
    api.setElectrodeMode(true);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 1));
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);

    // A register side without a data link also counts as open.
    api.tolmaren_close();
    api.configLink_ = new VciDummy();
    EXPECT_EQ(api.tolmaren_open("rec.bin"), 3u);
    EXPECT_NE(api.dataLink_, nullptr);
}

TEST(DataLink, LiveStreamIsRecordedDrainedAndResumedAcrossPauses) {
    ScopedWorkDir dir;
    // Streams of 2 MiB and more, of a little over 1 MiB, of 1 MiB after a
    // packet, and of a packet. After each but the last the peer waits for a
    // byte from the reader, so the reader sees a pause longer than its
    // time-out however fast either side runs. After the first byte it waits
    // 1.8 s more: past a time-out of 1 s, within one of 2 s.
    const unsigned int MiB = TolmarenDataConnectionLink::bufferSize;
    S first, second, third, fourth;
    first.electrodePackets(290);
    second.electrodePackets(143, 500);
    third.electrodePackets(145, 900).data().resize(7344 + MiB);
    fourth.electrodePackets(1, 1000);
    LoopbackPeer peer;
    peer.send(first.data()).awaitReceived(1).pause(std::chrono::milliseconds(1800));
    peer.send(second.data()).awaitReceived(2).send(third.data()).awaitReceived(3);
    peer.send(fourth.data()).closeConnection();
    DataTestApi api;
    api.attach(new TolmarenDataConnectionLink("127.0.0.1", peer.port()));
    api.setElectrodeMode(true);
    ConnectionLinkPacket wake;
    wake << static_cast<unsigned char>(1);

    // 1 MiB holds 1713 blocks and 220 bytes, which the next refill keeps. Two
    // refills deliver 3426 blocks (285 packets and 6 blocks); the third gets
    // the rest of the stream and then the pause: no bytes, and they are lost.
    ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
    ElectrodePacket packet;
    for (unsigned int p = 0; p < 285; ++p)
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u) << "packet " << p;
    EXPECT_TRUE(isPatternPacket(packet, 284));
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
    ASSERT_TRUE(api.dataLink_->write(wake));
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u); // the 1.8 s still running
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 500));
    ASSERT_EQ(api.tolmaren_stopRecording(), 0u);
    const std::string recorded = dir.readFile("live.bin");
    EXPECT_TRUE(recorded == slice(first.data(), 0, 3426 * 612) + slice(second.data(), 0, 7344));

    // The drain takes the rest of the second stream, up to the pause, and
    // leaves nothing buffered: rawread(0) points at the buffer's start.
    EXPECT_EQ(api.tolmaren_flushData(), 0u);
    const unsigned char* start = api.dataLink_->rawread(0);
    ASSERT_TRUE(api.dataLink_->write(wake));
    const ConnectionLinkPacket raw = api.tolmaren_readUnprocessed(7344);
    EXPECT_EQ(std::string(raw.begin(), raw.end()), slice(third.data(), 0, 7344));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 901));
    EXPECT_TRUE(delivered(start, third.data(), 7344, 612));
    // A read that times out keeps what rawread had buffered for the next one.
    EXPECT_TRUE(api.tolmaren_readUnprocessed(MiB).empty());
    ASSERT_TRUE(api.dataLink_->write(wake));
    const ConnectionLinkPacket rest = api.tolmaren_readUnprocessed(MiB);
    EXPECT_TRUE(std::string(rest.begin(), rest.end()) ==
                slice(third.data(), 14688, MiB - 7344) + slice(fourth.data(), 0, 7344));
    EXPECT_THROW(api.tolmaren_flushData(), morvek::FileDescriptor::ReadError); // the peer closed
}

} // namespace
