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
    Bytes bytes(4000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
    std::ofstream("play.bin", std::ios::binary).write(reinterpret_cast<char*>(bytes.data()), 4000);
    TolmarenDataConnectionLink link("play.bin");
    ConnectionLinkPacket one;
    one << static_cast<unsigned char>(1);
    EXPECT_FALSE(link.write(one));

    EXPECT_TRUE(delivered(link.rawread(10), bytes, 0, 10));
    link.startRecording("first.bin");
    for (size_t block = 0; block < 3; ++block)
        EXPECT_TRUE(delivered(link.rawread(612), bytes, 10 + 612 * block, 612));
    link.startRecording("second.bin"); // closes the first
    const ConnectionLinkPacket packet = link.read(50);
    EXPECT_EQ(std::string(packet.begin(), packet.end()), slice(bytes, 1846, 50));
    // 2104 bytes are left: a longer request gets nothing and they are lost.
    EXPECT_EQ(link.rawread(2105), nullptr);
    EXPECT_EQ(link.rawread(1), nullptr);
    EXPECT_TRUE(link.read(1).empty());
    link.stopRecording();
    EXPECT_EQ(dir.readFile("first.bin"), slice(bytes, 10, 1836));
    EXPECT_EQ(dir.readFile("second.bin"), slice(bytes, 1846, 50));

    TolmarenDataConnectionLink missing("absent.bin");
    EXPECT_EQ(missing.rawread(4), nullptr);
    EXPECT_TRUE(missing.read(4).empty());
}

TEST(DataLink, PlaybackOpenAndRecordingThroughTheFacade) {
    ScopedWorkDir dir;
    S stream;
    stream.electrodePackets(3).writeFile("play.bin");
    DataTestApi api;
    EXPECT_EQ(api.tolmaren_startRecording("rec.bin"), 1u);
    EXPECT_EQ(api.tolmaren_stopRecording(), 1u);
    EXPECT_FALSE(std::ifstream("rec.bin").good());

    // The open resets the three chain models.
    api.baseConfiguration.setAllAPGains(3);
    api.shankConfiguration.setEvenReference(false);
    api.testConfiguration.settings12to15[1] = true;
    ASSERT_EQ(api.tolmaren_open("play.bin"), 0u);
    EXPECT_EQ(api.tolmaren_open("play.bin"), 3u);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[0].apGain, 1u);
    EXPECT_TRUE(api.shankConfiguration.getEvenReference());
    EXPECT_FALSE(api.testConfiguration.settings12to15[1]);
    EXPECT_EQ(api.configLink_->vciRead(0x1054), 1u); // t_uart_settings.parity_enable

    api.setElectrodeMode(true);
    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
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
}

TEST(DataLink, LiveStreamIsRecordedDrainedAndResumedAcrossPauses) {
    ScopedWorkDir dir;
    // Each stream is a little over the link's 1-MiB buffer. After each one
    // the peer waits for a byte from the reader, so the reader sees a pause
    // longer than its time-out however fast either side runs.
    S first, second, third;
    first.electrodePackets(143);
    second.electrodePackets(143, 500);
    third.electrodePackets(145, 900);
    LoopbackPeer peer;
    peer.send(first.data()).awaitReceived(1).send(second.data()).awaitReceived(2);
    peer.send(third.data()).closeConnection();
    DataTestApi api;
    api.attach(new TolmarenDataConnectionLink("127.0.0.1", peer.port()));
    api.setElectrodeMode(true);
    ConnectionLinkPacket wake;
    wake << static_cast<unsigned char>(1);

    // 1 MiB holds 142 packets and 9 blocks; the refill for block 9 gets the
    // rest of the stream and then the pause: no bytes, and they are dropped.
    ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
    ElectrodePacket packet;
    for (unsigned int p = 0; p < 142; ++p)
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u) << "packet " << p;
    EXPECT_TRUE(isPatternPacket(packet, 141));
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
    ASSERT_TRUE(api.dataLink_->write(wake));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 500));
    ASSERT_EQ(api.tolmaren_stopRecording(), 0u);
    const std::string recorded = dir.readFile("live.bin");
    EXPECT_TRUE(recorded ==
                slice(first.data(), 0, 142 * 7344 + 9 * 612) + slice(second.data(), 0, 7344));

    // The drain takes the rest of the second stream, up to the pause.
    EXPECT_EQ(api.tolmaren_flushData(), 0u);
    ASSERT_TRUE(api.dataLink_->write(wake));
    const ConnectionLinkPacket raw = api.tolmaren_readUnprocessed(7344);
    EXPECT_EQ(std::string(raw.begin(), raw.end()), slice(third.data(), 0, 7344));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 901));
    // The peer closed after the third stream: the drain ends in the error.
    EXPECT_THROW(api.tolmaren_flushData(), morvek::FileDescriptor::ReadError);
    EXPECT_EQ(peer.received(), (LoopbackPeer::Bytes{1, 1}));
}

} // namespace
