// The library's own shift-register transfer and ASIC mode handling against the
// simulator on the basestation's fixed configuration port.
#include <gtest/gtest.h>

#include <random>

#include "api/Tolmaren_basestation_api.h"
#include "sim/BasestationSimulator.h"

using tolmaren_sim::BasestationSimulator;
using tolmaren_sim::SimulatorOptions;

namespace {

std::vector<bool> randomBits(std::size_t n, unsigned int seed) {
    std::mt19937 random(seed);
    std::vector<bool> bits(n);
    for (std::size_t i = 0; i < n; ++i)
        bits[i] = random() & 1;
    return bits;
}

} // namespace

TEST(SimulatorFacadeTransfer, ChainsWrittenVerifiedAndReadBackBitExact) {
    SimulatorOptions options;
    options.probeType = 2;
    BasestationSimulator sim(options);
    sim.start();
    Tolmaren_basestation_api api;
    ASSERT_EQ(api.setupConfigLink(), 0u);
    ASSERT_EQ(api.tolmaren_nrst(true), 0u);
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    EXPECT_EQ(sim.asicMode(), 3);

    for (auto [chain, length] : {std::pair<unsigned char, unsigned int>{0, 7414}, {1, 962}}) {
        SCOPED_TRACE(int(chain));
        std::vector<bool> bits = randomBits(length, chain + 1);
        EXPECT_EQ(api.tolmaren_writeShiftRegister(chain, bits, true), 0u);
        EXPECT_EQ(sim.chain(chain), bits);
        EXPECT_EQ(sim.asicMode(), 3); // restored after the transfer

        std::vector<bool> read;
        EXPECT_EQ(api.tolmaren_readShiftRegister(chain, read, length), 0u);
        EXPECT_EQ(read, bits);
        EXPECT_EQ(sim.chain(chain), bits); // the read writes the chain back
    }

    std::vector<bool> test = randomBits(18, 9);
    EXPECT_EQ(api.tolmaren_writeShiftRegister(2, test, true), 0u);
    EXPECT_EQ(sim.chain(2), test);

    unsigned char mode = 0;
    EXPECT_EQ(api.tolmaren_readMode(mode), 0u);
    EXPECT_EQ(mode, 3);
}
