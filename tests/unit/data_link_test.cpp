// The data link: playback of a file, recording of every delivered byte, and
// a live stream served by a loopback peer.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "api/LoopbackSequence.h"
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

TEST(DataLink, LiveStreamLosesNothingAcrossPausesAndTheFlushDropsWhatIsHeld) {
    ScopedWorkDir dir;
    // One stream of packets 0 to 599 in four parts: up to 300 bytes into
    // packet 200, up to packet 400, up to packet 600, then packet 1000. After
    // each part the peer waits for a byte from the reader, so the reader sees
    // a pause longer than its time-out however fast either side runs.
    const size_t P = S::electrodePacketSize;
    S whole, fresh;
    whole.electrodePackets(600);
    fresh.electrodePackets(1, 1000);
    const Bytes& all = whole.data();
    auto part = [&](size_t from, size_t to) {
        return Bytes(all.begin() + long(from), all.begin() + long(to));
    };
    LoopbackPeer peer;
    peer.send(part(0, 200 * P + 300)).awaitReceived(1);
    peer.send(part(200 * P + 300, 400 * P)).awaitReceived(2);
    peer.send(part(400 * P, 600 * P)).awaitReceived(3);
    peer.send(fresh.data()).awaitReceived(4).closeConnection();
    DataTestApi api;
    api.attach(new TolmarenDataConnectionLink("127.0.0.1", peer.port()));
    api.setElectrodeMode(true);
    ConnectionLinkPacket wake;
    wake << static_cast<unsigned char>(1);
    ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);

    // The second refill times out with the rest of the first part, which
    // serves every packet up to 199. Block 0 of packet 200 is not whole: no
    // bytes, and nothing consumed, so after the pause packet 200 comes whole.
    ElectrodePacket packet;
    for (unsigned int p = 0; p < 200; ++p)
        ASSERT_TRUE(api.tolmaren_readElectrodeData(packet) == 0 && isPatternPacket(packet, p))
            << "packet " << p;
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
    ASSERT_TRUE(api.dataLink_->write(wake));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 200));

    // A read that times out keeps both what it took from the buffer and what
    // it took from the socket, for rawread and read alike.
    EXPECT_TRUE(api.tolmaren_readUnprocessed(250 * P).empty());
    ASSERT_TRUE(api.dataLink_->write(wake));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 201));
    const ConnectionLinkPacket raw = api.tolmaren_readUnprocessed(249 * P);
    EXPECT_TRUE(Bytes(raw.begin(), raw.end()) == part(202 * P, 451 * P));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 451));

    // Every delivered byte once, whichever read delivered it.
    ASSERT_EQ(api.tolmaren_stopRecording(), 0u);
    EXPECT_TRUE(dir.readFile("live.bin") == slice(all, 0, 452 * P));

    // The flush drains up to the pause and drops what the link kept of it:
    // the next packet is the one sent after the flush.
    EXPECT_EQ(api.tolmaren_flushData(), 0u);
    ASSERT_TRUE(api.dataLink_->write(wake));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 1000));

    ASSERT_TRUE(api.dataLink_->write(wake));
    EXPECT_THROW(api.tolmaren_flushData(), morvek::FileDescriptor::ReadError); // the peer closed
}

TEST(DataLink, WriteThatTimesOutGoesOnAtItsFirstUnsentByte) {
    // The peer takes nothing until released: packets fill the socket buffers,
    // whatever their size, until a write times out partway. Written again, as
    // self test 4 does, that packet must not repeat the bytes already sent.
    LoopbackPeer peer;
    peer.pauseUntilReleased();
    TolmarenDataConnectionLink link("127.0.0.1", peer.port());
    Bytes sent;
    ConnectionLinkPacket packet;
    do {
        packet = LoopbackSequence::packet(static_cast<uint32_t>(sent.size() / 4), 1u << 20);
        sent.insert(sent.end(), packet.begin(), packet.end());
    } while (link.write(packet));
    peer.release();
    bool written = false;
    for (int attempt = 0; attempt < 10 && !written; ++attempt)
        written = link.write(packet);
    ASSERT_TRUE(written);
    ASSERT_TRUE(peer.waitForReceived(sent.size()));
    EXPECT_TRUE(peer.received() == sent);
}

} // namespace
