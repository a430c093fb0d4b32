// The configuration link end to end: the facade's setupConfigLink on the
// basestation port, the register stack against the simulator, and the
// simulator's configuration port at the frame level (malformed requests,
// broken frames, one client at a time).
#include <gtest/gtest.h>

#include <random>

#include "api/Tolmaren_basestation_api.h"
#include "common/PacketBytes.h"
#include "common/ScopedWorkDir.h"
#include "link/HdlcConnectionLink32.h"
#include "link/RequestResponseLink.h"
#include "link/TcpConnectionLink.h"
#include "registers/neuroprobe.h"
#include "sim/BasestationSimulator.h"
#include "vci/VciEncoder.h"

namespace {

using tolmaren_sim::BasestationSimulator;
using Words = std::vector<unsigned int>;

class ConfigLinkApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::dataLink_;
    using Tolmaren_basestation_api::datamodel_;
};

// A data link that tells when it is deleted.
struct WatchedDataLink : TolmarenConnectionLinkIntf {
    explicit WatchedDataLink(bool* deleted) : deleted(deleted) {}
    ~WatchedDataLink() override { *deleted = true; }
    bool write(ConnectionLinkPacket&) override { return false; }
    ConnectionLinkPacket read(unsigned int) override { return {}; }
    unsigned char* rawread(unsigned int) override { return nullptr; }
    void startRecording(const std::string&) override {}
    void stopRecording() override {}
    bool* deleted;
};

const char* const connectedLine = "configuration link successfully connected\n";

TEST(SetupConfigLink, ConnectsToTheBasestationPortAndBuildsTheMap) {
    ScopedWorkDir dir;
    BasestationSimulator sim; // the basestation's own address and ports
    sim.start();
    ConfigLinkApi api;
    api.tolmaren_startLog();
    EXPECT_EQ(api.setupConfigLink(), 0u);
    EXPECT_NE(dir.readFile("api_log.txt").find(connectedLine), std::string::npos);
    ASSERT_NE(api.datamodel_, nullptr);
    EXPECT_EQ(api.datamodel_->tolmaren_cfg.fpga_version.major.read(), 4u);
}

TEST(SetupConfigLink, NothingListeningGivesOneAndDropsTheDataLink) {
    ScopedWorkDir dir;
    ConfigLinkApi api;
    api.tolmaren_startLog();
    bool deleted = false;
    api.dataLink_ = new WatchedDataLink(&deleted);
    EXPECT_EQ(api.setupConfigLink(), 1u);
    EXPECT_TRUE(deleted);
    EXPECT_EQ(api.dataLink_, nullptr);
    EXPECT_EQ(api.configLink_, nullptr);
    EXPECT_EQ(api.datamodel_, nullptr);
    EXPECT_EQ(dir.readFile("api_log.txt").find(connectedLine), std::string::npos);
}

tolmaren_sim::SimulatorOptions ephemeral() {
    tolmaren_sim::SimulatorOptions options;
    options.address = "127.0.0.1";
    options.configPort = 0;
    options.data.port = 0;
    return options;
}

TEST(RegisterStack, ReadsAndWritesTheSimulatorsRegisters) {
    BasestationSimulator sim(ephemeral());
    sim.start();
    VciEncoder vci(new RequestResponseLink(new HdlcConnectionLink32(
                       new TcpConnectionLink("127.0.0.1", sim.configPort()))),
                   VciEncoding::Width32);
    const neuroprobe map(0, &vci);
    EXPECT_EQ(map.tolmaren_cfg.fpga_version.major.read(), 4u);
    EXPECT_EQ(map.tolmaren_cfg.fpga_version.minor.read(), 1u);
    // Flag and escape bytes inside the words travel stuffed.
    map.tolmaren_cfg.cfg_word6.write(0x7E7D00FFu);
    EXPECT_EQ(sim.registerValue(0x0018), 0x7E7D00FFu);
    EXPECT_EQ(map.tolmaren_cfg.cfg_word6.read(), 0x7E7D00FFu);
    const Words words{0x7E, 0x17D, 0x300, 0xFFFFFFFF};
    vci.vciBurstWrite(0x1020, words, VciInterface::Increment);
    EXPECT_EQ(vci.vciBurstRead(0x1020, 4, VciInterface::Increment), words);
    EXPECT_EQ(sim.registerValue(0x102C), 0xFFFFFFFFu);
    vci.vciBurstWrite(0x1000, {7, 8, 9}, VciInterface::NoIncrement); // the last one stays
    EXPECT_EQ(vci.vciBurstRead(0x1000, 2, VciInterface::NoIncrement), (Words{9, 9}));
    EXPECT_EQ(vci.ping(0x7E7D7E7D), 0x7E7D7E7Du);
    EXPECT_EQ(vci.getVciDataWidth(), 32u);
}

// A client of the configuration port built from the unpadded framing link.
struct Client {
    explicit Client(unsigned short port) : tcp(new TcpConnectionLink("127.0.0.1", port)) {}
    Words transact(const Bytes& payload) {
        ConnectionLinkPacket packet = packetOf(payload);
        hdlc.write(packet);
        return reply();
    }
    Words transact(const Words& request) {
        ConnectionLinkPacket packet;
        for (unsigned int word : request)
            packet << word;
        return transact(bytesOf(packet));
    }
    Words reply() {
        ConnectionLinkPacket packet = hdlc.read(0);
        Words words(packet.size() / 4);
        for (unsigned int& word : words)
            packet >> word;
        return words;
    }
    TcpConnectionLink* tcp; // owned by the framing link
    HdlcConnectionLink hdlc{tcp};
};

constexpr unsigned int crc = 1u << 16, sopEop = 1u << 18, unsupported = 1u << 19,
                       unknownCommand = 1u << 21;

TEST(SimulatorConfigPort, MalformedRequestsGetErrorBitsAndChangeNothing) {
    BasestationSimulator sim(ephemeral());
    sim.start();
    Client client(sim.configPort());
    const std::pair<Words, Words> cases[] = {
        {{0x05000000, 0}, {0x05000000, unknownCommand}},
        {{0xFF123456, 1, 2, 0}, {0xFF000000, unknownCommand}},
        {{0x01010000, 0x1000, 0, 0}, {0x01000000, sopEop}},    // a word too many
        {{0x01010000, 0x1000, 5}, {0x01000000, sopEop}},       // no final 0
        {{0x02010001, 0x1000, 0x55, 0}, {0x02000000, sopEop}}, // one word of two
        {{0x02020000, 0x1000, 0x66, 0}, {0x02000000, unsupported}},
        {{0x04000000, 0, 0}, {0x04000000, sopEop}},
    };
    for (const auto& [request, reply] : cases)
        EXPECT_EQ(client.transact(request), reply) << std::hex << request[0];
    EXPECT_EQ(client.transact(Bytes{0x03, 0, 0, 0, 0, 1}), (Words{0x03000000, sopEop}));
    EXPECT_EQ(sim.registerValue(0x1000), 0u);
    EXPECT_EQ(sim.counters().malformedRequests, 8u);

    auto faults = sim.faults(); // error bits injected into every reply
    faults.statusErrorBits = 0x0001;
    sim.setFaults(faults);
    EXPECT_EQ(client.transact(Words{0x03000000, 5, 0}), (Words{0x03000000, 5, crc}));
}

TEST(SimulatorConfigPort, BrokenFramesAndNoiseAreDroppedWithoutReply) {
    BasestationSimulator sim(ephemeral());
    sim.start();
    Client client(sim.configPort());
    ConnectionLinkPacket broken = packetOf({0x7E, 0x03, 0x00, 0x7E, 0x7E, 0x03, 0x7D, 0x7E});
    client.tcp->write(broken); // shorter than a word; an escape before the flag
    ConnectionLinkPacket huge = packetOf(Bytes((65536 + 3) * 4 + 4, 0x11));
    client.hdlc.write(huge); // longer than any request
    EXPECT_EQ(client.transact(Words{0x03000000, 42, 0}), (Words{0x03000000, 42, 0}));
    EXPECT_EQ(sim.counters().droppedFrames, 3u);

    std::mt19937 random(12345);
    ConnectionLinkPacket noise;
    for (int i = 0; i < (1 << 16); ++i) {
        const unsigned int r = random();
        noise.push_back(r % 16 == 0 ? 0x7E : r % 16 == 1 ? 0x7D : static_cast<unsigned char>(r));
    }
    noise.push_back(0x7E);
    client.tcp->write(noise);
    const Words ping{0x03000000, 0xC0FFEE, 0};
    Words reply = client.transact(ping);
    for (int i = 0; i < 20000 && !reply.empty() && reply != ping; ++i)
        reply = client.reply(); // the replies to frames found in the noise come first
    EXPECT_EQ(reply, ping);
}

TEST(SimulatorConfigPort, ServesOneClientAtATime) {
    BasestationSimulator sim(ephemeral());
    sim.start();
    auto first = std::make_unique<Client>(sim.configPort());
    EXPECT_EQ(first->transact(Words{0x03000000, 1, 0}), (Words{0x03000000, 1, 0}));
    Client second(sim.configPort());
    EXPECT_TRUE(second.transact(Words{0x03000000, 2, 0}).empty()); // waits for the first
    first.reset();
    EXPECT_EQ(second.reply(), (Words{0x03000000, 2, 0}));
    EXPECT_EQ(sim.counters().connections, 2u);

    BasestationSimulator taken([&] {
        auto options = ephemeral();
        options.configPort = sim.configPort();
        return options;
    }());
    EXPECT_THROW(taken.start(), std::runtime_error);
}

TEST(SimulatorConfigPort, StopEndsAConnectionWaitingForALateReply) {
    BasestationSimulator sim(ephemeral());
    auto faults = sim.faults();
    faults.reply = tolmaren_sim::ReplyFault::LateReply;
    faults.lateReplyMs = 10000;
    sim.setFaults(faults);
    sim.start();
    Client client(sim.configPort());
    ConnectionLinkPacket ping = packetOf({0x03, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0});
    client.hdlc.write(ping);
    sim.stop();
    EXPECT_FALSE(sim.running());
    EXPECT_THROW(client.reply(), morvek::FileDescriptor::ReadError);
}

} // namespace
