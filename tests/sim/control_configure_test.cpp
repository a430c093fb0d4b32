// Configuration operations: the model change and the chain the probe ends up
// with, at the chain positions of the base and shank layouts.
#include "sim/LiveControlApi.h"

namespace {

using ControlConfigure = LiveControlTest;
using tolmaren_sim::Faults;

// Base chain positions: even channel c's 7-bit settings start at
// 5816 + 7 (c / 2), odd channel c's at 248 + 7 (c / 2); even channel c's
// reference flags start at 3704 + 11 (382 - c) / 2.
unsigned int field(const std::vector<bool>& chain, unsigned int first, unsigned int width) {
    unsigned int value = 0;
    for (unsigned int i = 0; i < width; ++i)
        value |= static_cast<unsigned int>(chain.at(first + i)) << i;
    return value;
}

TEST_F(ControlConfigure, BaseChainOperationsReachTheProbe) {
    EXPECT_EQ(api->tolmaren_setGain(10, 2, 3, true), 0u);
    auto chain = sim->chain(0);
    EXPECT_EQ(field(chain, 5816 + 7 * 5, 3), 2u);
    EXPECT_EQ(field(chain, 5816 + 7 * 5 + 3, 3), 3u);

    EXPECT_EQ(api->tolmaren_setStdb(11, true, true), 0u);
    EXPECT_TRUE(sim->chain(0).at(248 + 7 * 5 + 6));

    // Not written: the probe keeps the old chain until the next write.
    EXPECT_EQ(api->tolmaren_setGain(1, 7, 7, false), 0u);
    EXPECT_EQ(field(sim->chain(0), 248, 3), 1u);
    EXPECT_EQ(api->tolmaren_setFilter(3), 0u);
    chain = sim->chain(0);
    EXPECT_EQ(field(chain, 7408, 2), 3u);
    EXPECT_EQ(field(chain, 248, 3), 7u);

    EXPECT_EQ(api->tolmaren_setReference(0, 4, true), 0u);
    EXPECT_EQ(field(sim->chain(0), 3704 + 11 * 191, 11), 1u << 4);

    EXPECT_EQ(api->tolmaren_writeAllAPGains(5), 0u);
    EXPECT_EQ(api->tolmaren_writeAllLFPGains(6), 0u);
    EXPECT_EQ(api->tolmaren_writeAllStandby(true), 0u);
    EXPECT_EQ(api->tolmaren_writeAllReferences(9), 0u);
    chain = sim->chain(0);
    for (unsigned int k = 0; k < 192; ++k) {
        ASSERT_EQ(field(chain, 5816 + 7 * k, 7), 5u | 6u << 3 | 1u << 6) << k;
        ASSERT_EQ(field(chain, 248 + 7 * k, 7), 5u | 6u << 3 | 1u << 6) << k;
        ASSERT_EQ(field(chain, 1592 + 11 * k, 11), 1u << 9) << k;
        ASSERT_EQ(field(chain, 3704 + 11 * k, 11), 1u << 9) << k;
    }
    EXPECT_EQ(count(log(), "base shift register successfully written\n"), 3u);
}

TEST_F(ControlConfigure, ShankOperationsReachTheProbeAndTheElectrodeTable) {
    // Type 2: channel c in bank b is electrode 384 b + c; odd electrode e sits
    // at bit (961 - e) / 2, even electrode e at bit 481 + e / 2.
    EXPECT_EQ(api->tolmaren_selectElectrode(5, 1, true), 0u);
    auto chain = sim->chain(1);
    ASSERT_EQ(chain.size(), 962u);
    EXPECT_TRUE(chain[(961 - 389) / 2]);
    EXPECT_EQ(sim->registerValue(0x1C + 4 * 5), 1u);
    EXPECT_EQ(sim->registerValue(0x1C + 4 * 6), 255u);

    EXPECT_EQ(api->tolmaren_selectElectrode(6, 0, true), 0u);
    EXPECT_TRUE(sim->chain(1)[481 + 3]);
    EXPECT_EQ(sim->registerValue(0x1C + 4 * 6), 0u);

    EXPECT_EQ(api->tolmaren_selectElectrode(5, -1, true), 0u);
    chain = sim->chain(1);
    EXPECT_FALSE(chain[(961 - 389) / 2]);
    EXPECT_EQ(sim->registerValue(0x1C + 4 * 5), 255u);

    EXPECT_TRUE(chain[0] && chain[961]);
    EXPECT_EQ(api->tolmaren_setExtRef(false, true), 0u);
    chain = sim->chain(1);
    EXPECT_FALSE(chain[0]);
    EXPECT_FALSE(chain[961]);
    const std::string text = log();
    EXPECT_NE(text.find("tolmaren_setExtRef(0) calledext ref connection successfully written "
                        "to api member shankConfiguration\n"),
              std::string::npos);
    EXPECT_NE(text.find("ext ref successfully written to shank shift register\n"),
              std::string::npos);
    EXPECT_EQ(count(text, "electrode connection successfully written to basestation fpga "
                          "configuration registers and shank shift register\n"),
              3u);
}

TEST_F(ControlConfigure, FailedWritesLeaveTheModelChanged) {
    changeFaults([](Faults& f) { f.uartNoAck = true; });
    EXPECT_EQ(api->tolmaren_setGain(10, 2, 3, true), 4u);
    EXPECT_EQ(api->baseConfiguration.getChannelSettings()[10].apGain, 2);
    EXPECT_EQ(api->tolmaren_selectElectrode(5, 1, true), 5u);
    std::vector<uint8_t> connections;
    api->shankConfiguration.getElectrodeConnections(connections);
    EXPECT_EQ(connections[5], 1);
    // The table in the basestation is refreshed before the chain fails.
    EXPECT_EQ(sim->registerValue(0x1C + 4 * 5), 1u);
    EXPECT_EQ(count(log(), "base shift register successfully written\n"), 0u);

    // A retry once the link is back.
    changeFaults([](Faults& f) { f = Faults(); });
    api->tolmaren_resetUart();
    EXPECT_EQ(api->tolmaren_writeBaseRegister(true), 0u);
    EXPECT_EQ(field(sim->chain(0), 5816 + 7 * 5, 3), 2u);
}

} // namespace
