// The configuration link end to end: the facade builds it on the basestation's
// port (or reports 1 without a basestation), and registers are read and
// written through it on the simulator.
#include <gtest/gtest.h>

#include "api/Tolmaren_basestation_api.h"
#include "common/LoopbackPeer.h"
#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "data/TolmarenDataConnectionLink.h"
#include "registers/neuroprobe.h"
#include "sim/BasestationSimulator.h"
#include "vci/VciEncoder.h"

using Words = std::vector<unsigned int>;

struct ConfigLinkApi : Tolmaren_basestation_api {
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::dataLink_;
    using Tolmaren_basestation_api::datamodel_;
};

const char* const connectedLine = "configuration link successfully connected\n";

TEST(ConfigLink, SetupGivesOneWithoutABasestationThenReachesTheSimulatorsRegisters) {
    ScopedWorkDir dir;
    ConfigLinkApi api;
    api.tolmaren_setBasestationAddress(TestAddress::own());
    api.tolmaren_startLog();
    LoopbackPeer peer;
    api.dataLink_ = new TolmarenDataConnectionLink("127.0.0.1", peer.port());
    EXPECT_EQ(api.setupConfigLink(), 1u); // and the data link is deleted
    EXPECT_EQ(api.dataLink_, nullptr);
    EXPECT_EQ(api.configLink_, nullptr);
    EXPECT_EQ(dir.readFile("api_log.txt").find(connectedLine), std::string::npos);

    tolmaren_sim::BasestationSimulator sim(TestAddress::simulator()); // the basestation's ports
    sim.start();
    EXPECT_EQ(api.setupConfigLink(), 0u);
    EXPECT_NE(dir.readFile("api_log.txt").find(connectedLine), std::string::npos);
    ASSERT_NE(api.datamodel_, nullptr);
    const neuroprobe& map = *api.datamodel_;
    VciInterface& vci = *api.configLink_;
    EXPECT_EQ(map.tolmaren_cfg.fpga_version.major.read(), 4u);
    map.tolmaren_cfg.cfg_word6.write(0x7E7D00FFu); // flag and escape bytes travel stuffed
    EXPECT_EQ(sim.registerValue(0x0018), 0x7E7D00FFu);
    const Words words{0x7E, 0x17D, 0x300, 0xFFFFFFFF};
    vci.vciBurstWrite(0x1020, words, VciInterface::Increment);
    EXPECT_EQ(vci.vciBurstRead(0x1020, 4, VciInterface::Increment), words);
    EXPECT_EQ(sim.registerValue(0x102C), 0xFFFFFFFFu);
    vci.vciBurstWrite(0x1000, {7, 8, 9}, VciInterface::NoIncrement); // the last one stays
    EXPECT_EQ(vci.vciBurstRead(0x1000, 2, VciInterface::NoIncrement), (Words{9, 9}));
    auto& encoder = dynamic_cast<VciEncoder&>(vci);
    EXPECT_EQ(encoder.ping(0x7E7D7E7D), 0x7E7D7E7Du);
    EXPECT_EQ(encoder.getVciDataWidth(), 32u);
    EXPECT_EQ(encoder.getVciAddressWidth(), 32u);
}
