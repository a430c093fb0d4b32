// A rig of basestations in one process, each reached through a facade at its
// own address: the synchronised start over the trigger line and the shared
// synchronization input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "common/TestAddress.h"
#include "sim/SimulatorRig.h"

namespace {

using tolmaren_sim::DataPacing;

// Block counter and synchronization value of the blocks of the next packets.
std::vector<std::pair<uint32_t, uint16_t>> blocks(Tolmaren_basestation_api& api,
                                                  unsigned int packets) {
    std::vector<std::pair<uint32_t, uint16_t>> read;
    ElectrodePacket packet;
    for (unsigned int p = 0; p < packets && api.tolmaren_readElectrodeData(packet) == 0; ++p)
        for (unsigned int b = 0; b < 12; ++b)
            read.emplace_back(packet.ctrs[b][0], packet.synchronization[b]);
    return read;
}

// Station 0 leads, station 1 follows (sync_ext_start), station 2 stands
// alone; all three keep the start-trigger output the open enables.
TEST(SimulatorRig, SoftwareStartOfOneStartsItsFollowersInStep) {
    for (const DataPacing pacing : {DataPacing::Fast, DataPacing::RealTime}) {
        SCOPED_TRACE(pacing == DataPacing::Fast ? "fast" : "real time");
        auto options = TestAddress::simulator();
        options.serialNumber = 40;
        options.data.pacing = pacing;
        options.data.fifoBytes = std::size_t(1) << 30; // a slow reader loses nothing
        tolmaren_sim::SimulatorRig rig(options, 3);
        rig.start();
        std::array<std::unique_ptr<Tolmaren_basestation_api>, 3> stations;
        std::array<unsigned int, 3> opened{};
        std::vector<std::thread> opening; // each open waits a second for its stream to drain
        for (unsigned int k = 0; k < 3; ++k) {
            stations[k] = std::make_unique<Tolmaren_basestation_api>();
            stations[k]->tolmaren_setBasestationAddress(
                tolmaren_sim::SimulatorRig::address(options.address, k));
            opening.emplace_back([&, k] { opened[k] = stations[k]->tolmaren_open(0); });
        }
        for (auto& thread : opening)
            thread.join();
        for (unsigned int k = 0; k < 3; ++k) {
            ASSERT_EQ(opened[k], 0u) << k;
            AsicID id;
            ASSERT_EQ(stations[k]->tolmaren_readId(id), 0u);
            EXPECT_EQ(id.serialNumber, 40u + k);
        }
        ASSERT_EQ(stations[1]->tolmaren_setSyncExtStart(true), 0u);
        ASSERT_EQ(stations[1]->tolmaren_resetDatapath(), 0u);
        ElectrodePacket packet;
        EXPECT_EQ(stations[1]->tolmaren_readElectrodeData(packet), 3u) << "held until the start";

        const uint64_t aloneRestarts = rig.basestation(2).dataStatistics().restarts;
        ASSERT_EQ(stations[0]->tolmaren_setNeuralStart(), 0u);
        // More than half a period of the wave: at least one edge.
        const auto leader = blocks(*stations[0], 1300);
        const auto follower = blocks(*stations[1], 1300);
        ASSERT_EQ(leader.size(), 12u * 1300);
        EXPECT_EQ(leader.front().first, 0u);
        EXPECT_NE(
            std::adjacent_find(leader.begin(), leader.end(),
                               [](const auto& a, const auto& b) { return a.second != b.second; }),
            leader.end());
        EXPECT_TRUE(follower == leader) << "counters or edges differ";
        EXPECT_EQ(rig.basestation(2).dataStatistics().restarts, aloneRestarts);
        EXPECT_EQ(rig.triggerPulses(), 1u) << "the follower drove the line again";
    }
}

} // namespace
