// The configuration link end to end: the facade's setupConfigLink on the
// basestation port, and the register-access stack against the simulator.
#include <gtest/gtest.h>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"
#include "link/HdlcConnectionLink32.h"
#include "link/RequestResponseLink.h"
#include "link/TcpConnectionLink.h"
#include "registers/neuroprobe.h"
#include "sim/BasestationSimulator.h"
#include "vci/VciEncoder.h"

namespace {

class ConfigLinkApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::dataLink_;
    using Tolmaren_basestation_api::datamodel_;
};

// A data link that only tells when it is deleted.
class WatchedDataLink : public TolmarenConnectionLinkIntf {
public:
    explicit WatchedDataLink(bool* deleted) : deleted_(deleted) {}
    ~WatchedDataLink() override { *deleted_ = true; }
    bool write(ConnectionLinkPacket&) override { return false; }
    ConnectionLinkPacket read(unsigned int) override { return ConnectionLinkPacket(); }
    unsigned char* rawread(unsigned int) override { return nullptr; }
    void startRecording(const std::string&) override {}
    void stopRecording() override {}

private:
    bool* deleted_;
};

const char* const connectedLine = "configuration link successfully connected\n";

TEST(SetupConfigLink, ConnectsToPort1235AndBuildsTheRegisterMap) {
    ScopedWorkDir dir;
    tolmaren_sim::BasestationSimulator sim; // the basestation's own address and port
    sim.start();
    ConfigLinkApi api;
    api.tolmaren_startLog();
    testing::internal::CaptureStderr();
    EXPECT_EQ(api.setupConfigLink(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "TcpConnectionLink\n");
    EXPECT_NE(dir.readFile("api_log.txt").find(connectedLine), std::string::npos);
    ASSERT_NE(api.configLink_, nullptr);
    ASSERT_NE(api.datamodel_, nullptr);
    EXPECT_EQ(api.datamodel_->tolmaren_cfg.fpga_version.major.read(), 4u);

    // A second call replaces the link; the basestation serves one client at
    // a time, so the new link only answers if the old one was closed.
    testing::internal::CaptureStderr();
    EXPECT_EQ(api.setupConfigLink(), 0u);
    testing::internal::GetCapturedStderr();
    VersionNumber version{};
    EXPECT_EQ(api.tolmaren_getHardwareVersion(&version), 0u);
    EXPECT_EQ(version.major, 4);
    EXPECT_EQ(version.minor, 1);
}

TEST(SetupConfigLink, NothingListeningGivesOneAndDropsTheDataLink) {
    ScopedWorkDir dir;
    ConfigLinkApi api;
    api.tolmaren_startLog();
    bool deleted = false;
    api.dataLink_ = new WatchedDataLink(&deleted);
    testing::internal::CaptureStderr();
    EXPECT_EQ(api.setupConfigLink(), 1u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(deleted);
    EXPECT_EQ(api.dataLink_, nullptr);
    EXPECT_EQ(api.configLink_, nullptr);
    EXPECT_EQ(api.datamodel_, nullptr);
    EXPECT_EQ(dir.readFile("api_log.txt").find(connectedLine), std::string::npos);
}

TEST(RegisterStack, ReadsAndWritesRegistersOfTheSimulator) {
    tolmaren_sim::SimulatorOptions options;
    options.address = "127.0.0.1";
    options.configPort = 0;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    VciEncoder vci(new RequestResponseLink(new HdlcConnectionLink32(
                       new TcpConnectionLink("127.0.0.1", sim.configPort()))),
                   VciEncoding::Width32);
    neuroprobe map(0, &vci);

    EXPECT_EQ(map.tolmaren_cfg.fpga_version.major.read(), 4u);
    EXPECT_EQ(map.tolmaren_cfg.fpga_version.minor.read(), 1u);

    // Flag and escape bytes inside the value travel stuffed.
    map.tolmaren_cfg.cfg_word6.write(0x7E7D00FFu);
    EXPECT_EQ(sim.registerValue(map.tolmaren_cfg.cfg_word6.getAddress()), 0x7E7D00FFu);
    EXPECT_EQ(map.tolmaren_cfg.cfg_word6.read(), 0x7E7D00FFu);

    const unsigned int table = map.tolmaren_cfg.channel_to_electrode.address_;
    const std::vector<unsigned int> words{0x7E, 0x17D, 0x300, 0xFFFFFFFF};
    vci.vciBurstWrite(table, words, VciInterface::Increment);
    EXPECT_EQ(vci.vciBurstRead(table, 4, VciInterface::Increment), words);
    EXPECT_EQ(sim.registerValue(table + 12), 0xFFFFFFFFu);

    EXPECT_EQ(vci.ping(0x7E7E7E7E), 0x7E7E7E7Eu);
    EXPECT_EQ(vci.getVciDataWidth(), 32u);
    EXPECT_EQ(vci.getVciAddressWidth(), 32u);
}

} // namespace
