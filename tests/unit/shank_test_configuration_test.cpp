#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "config/ShankConfiguration.h"
#include "config/TestConfiguration.h"

namespace {

// Shank geometry per probe type.
struct Shank {
    int8_t type;
    unsigned int channels;
    unsigned int electrodes;
    unsigned int chainBits;
};
void PrintTo(const Shank& s, std::ostream* os) {
    *os << "probe type " << int(s.type);
}

constexpr Shank kType2{2, 384, 960, 962};
constexpr Shank kType3{3, 276, 966, 968};

// Chain position of an electrode flag, from the shank chain layout table.
unsigned int electrodeBit(const Shank& s, unsigned int electrode) {
    if (electrode % 2) return (s.chainBits - 1 - electrode) / 2; // 961 - 2k or 967 - 2k
    return s.chainBits / 2 + electrode / 2;                      // 481 + j or 484 + j
}

std::vector<bool> expectedChain(const Shank& s, const std::set<unsigned int>& electrodes,
                                bool evenRef, bool oddRef) {
    std::vector<bool> chain(s.chainBits, false);
    chain.front() = evenRef;
    chain.back() = oddRef;
    for (unsigned int e : electrodes)
        chain[electrodeBit(s, e)] = true;
    return chain;
}

std::vector<uint8_t> connectionsOf(const ShankConfiguration& model) {
    std::vector<uint8_t> connections;
    model.getElectrodeConnections(connections);
    return connections;
}

class ShankChainTest : public ::testing::TestWithParam<Shank> {
protected:
    AsicID id_{};
    ShankConfiguration model_{&id_};

    void SetUp() override { id_.probeType = GetParam().type; }
};

INSTANTIATE_TEST_SUITE_P(ProbeTypes, ShankChainTest, ::testing::Values(kType2, kType3),
                         [](const ::testing::TestParamInfo<Shank>& info) {
                             return "Type" + std::to_string(info.param.type);
                         });

TEST_P(ShankChainTest, ResetModelEncodesOnlyTheTwoReferenceFlags) {
    const Shank s = GetParam();
    std::vector<bool> chain(3, true);
    ASSERT_EQ(model_.getChain(chain), 0u);
    EXPECT_EQ(chain, expectedChain(s, {}, true, true));
    EXPECT_EQ(chain.size(), s.chainBits);
    EXPECT_EQ(connectionsOf(model_), std::vector<uint8_t>(384, 255));
    EXPECT_TRUE(model_.getEvenReference());
    EXPECT_TRUE(model_.getOddReference());
}

TEST_P(ShankChainTest, ElectrodesLieWhereTheLayoutPutsThem) {
    const Shank s = GetParam();
    const unsigned int last = s.electrodes - 1;
    // Highest odd electrode at bit 1, electrode 1 just before the even run,
    // electrode 0 first of the even run, highest even electrode before the
    // odd reference.
    const std::pair<unsigned int, unsigned int> worked[] = {
        {last, 1}, {1, s.chainBits / 2 - 1}, {0, s.chainBits / 2}, {last - 1, s.chainBits - 2}};
    EXPECT_EQ(s.chainBits / 2, s.type == 2 ? 481u : 484u);
    for (const auto& w : worked) {
        model_.reset();
        ASSERT_EQ(model_.enableElectrode(w.first), 0u);
        model_.setEvenReference(false);
        model_.setOddReference(false);
        std::vector<bool> chain;
        ASSERT_EQ(model_.getChain(chain), 0u);
        std::vector<bool> expected(s.chainBits, false);
        expected[w.second] = true;
        EXPECT_EQ(chain, expected) << "electrode " << w.first;
    }
}

TEST(ShankChainLayout, WorkedElectrodesOfType2) {
    AsicID id{0, 2};
    ShankConfiguration model(&id);
    ASSERT_EQ(model.enableElectrode(959), 0u);
    EXPECT_EQ(connectionsOf(model)[191], 2);
    std::vector<bool> chain;
    ASSERT_EQ(model.getChain(chain), 0u);
    EXPECT_TRUE(chain[1]);
    EXPECT_EQ(model.enableElectrode(960), 3u);
    ASSERT_EQ(model.enableElectrode(0), 0u);
    ASSERT_EQ(model.getChain(chain), 0u);
    EXPECT_TRUE(chain[481]);
    EXPECT_TRUE(chain[1]);
    EXPECT_TRUE(chain[0]);
    EXPECT_TRUE(chain[961]);
}

TEST(ShankChainLayout, WorkedElectrodesOfType3) {
    AsicID id{0, 3};
    ShankConfiguration model(&id);
    for (unsigned int e : {965u, 1u, 0u, 964u, 501u, 500u})
        ASSERT_EQ(model.enableElectrode(e), 0u);
    EXPECT_EQ(model.enableElectrode(966), 3u);
    std::vector<bool> chain;
    ASSERT_EQ(model.getChain(chain), 0u);
    ASSERT_EQ(chain.size(), 968u);
    std::vector<bool> expected(968, false);
    expected[0] = expected[967] = true;
    // 967 - 2k for odd electrodes, 484 + j for electrode 2j.
    for (unsigned int k : {1u, 483u, 233u})
        expected[k] = true;
    for (unsigned int j : {0u, 482u, 250u})
        expected[484 + j] = true;
    EXPECT_EQ(chain, expected);
}

TEST_P(ShankChainTest, RandomConnectionsEncodeAtTheirPositionsAndDecodeBack) {
    const Shank s = GetParam();
    std::mt19937 rng(1234 + s.type);
    for (int round = 0; round < 50; ++round) {
        ShankConfiguration source(&id_);
        std::set<unsigned int> electrodes;
        for (unsigned int c = 0; c < s.channels; ++c) {
            const unsigned int banks = (s.electrodes - 1 - c) / s.channels + 1;
            const unsigned int pick = rng() % (banks + 1);
            if (pick == banks) continue; // left disconnected
            ASSERT_EQ(source.setElectrodeConnection(c, static_cast<uint8_t>(pick)), 0u);
            electrodes.insert(pick * s.channels + c);
        }
        const bool evenRef = rng() % 2, oddRef = rng() % 2;
        source.setEvenReference(evenRef);
        source.setOddReference(oddRef);

        std::vector<bool> chain;
        ASSERT_EQ(source.getChain(chain), 0u);
        ASSERT_EQ(chain, expectedChain(s, electrodes, evenRef, oddRef));

        // The target starts with every channel on its last bank.
        ShankConfiguration target(&id_);
        for (unsigned int c = 0; c < s.channels; ++c) {
            ASSERT_EQ(target.enableElectrode((s.electrodes - 1 - c) / s.channels * s.channels + c),
                      0u);
        }
        ASSERT_EQ(target.getShankConfigFromChain(chain), 0u);
        EXPECT_TRUE(chain.empty());
        EXPECT_EQ(connectionsOf(target), connectionsOf(source));
        EXPECT_EQ(target.getEvenReference(), evenRef);
        EXPECT_EQ(target.getOddReference(), oddRef);
        if (HasFailure()) return;
    }
}

TEST_P(ShankChainTest, ConnectingAnElectrodeReplacesTheChannelsPreviousOne) {
    const Shank s = GetParam();
    ASSERT_EQ(model_.enableElectrode(10), 0u);
    ASSERT_EQ(model_.enableElectrode(10 + s.channels), 0u);
    EXPECT_EQ(connectionsOf(model_)[10], 1);
    std::vector<bool> chain;
    ASSERT_EQ(model_.getChain(chain), 0u);
    EXPECT_EQ(chain, expectedChain(s, {10 + s.channels}, true, true));
}

TEST_P(ShankChainTest, DoubleConnectionDecodesToTheLowestBankWithCode4) {
    const Shank s = GetParam();
    // Channel 10 on banks 0 and 1, channel 11 on banks 1 and 2.
    std::vector<bool> chain = expectedChain(
        s, {10, 10 + s.channels, 11 + s.channels, 11 + 2 * s.channels, 500}, false, true);
    ASSERT_EQ(model_.enableElectrode(20), 0u);
    EXPECT_EQ(model_.getShankConfigFromChain(chain), 4u);
    EXPECT_TRUE(chain.empty());
    const std::vector<uint8_t> connections = connectionsOf(model_);
    EXPECT_EQ(connections[10], 0);
    EXPECT_EQ(connections[11], 1);
    // Channels after the doubly connected one are still decoded.
    EXPECT_EQ(connections[500 % s.channels], 500 / s.channels);
    EXPECT_EQ(connections[20], 255);
    EXPECT_FALSE(model_.getEvenReference());
    EXPECT_TRUE(model_.getOddReference());
}

TEST_P(ShankChainTest, ShortChainIsRefusedWithoutChange) {
    const Shank s = GetParam();
    ASSERT_EQ(model_.enableElectrode(7), 0u);
    for (unsigned int length : {0u, s.chainBits - 1}) {
        std::vector<bool> chain(length, true);
        EXPECT_EQ(model_.getShankConfigFromChain(chain), 5u) << length;
        EXPECT_EQ(chain.size(), length);
    }
    std::vector<bool> chain;
    ASSERT_EQ(model_.getChain(chain), 0u);
    EXPECT_EQ(chain, expectedChain(s, {7}, true, true));
}

TEST_P(ShankChainTest, LongerChainDecodesItsLastBits) {
    const Shank s = GetParam();
    std::vector<bool> chain = expectedChain(s, {3}, false, false);
    chain.insert(chain.begin(), true);
    EXPECT_EQ(model_.getShankConfigFromChain(chain), 0u);
    EXPECT_EQ(chain, std::vector<bool>{true});
    EXPECT_EQ(connectionsOf(model_)[3], 0);
    EXPECT_FALSE(model_.getEvenReference());
}

TEST(ShankChainBanks, BankLimitsOfType2) {
    AsicID id{0, 2};
    ShankConfiguration model(&id);
    EXPECT_EQ(model.setElectrodeConnection(200, 2), 3u); // electrode 968
    EXPECT_EQ(model.setElectrodeConnection(192, 2), 3u); // electrode 960
    EXPECT_EQ(model.setElectrodeConnection(191, 2), 0u); // electrode 959
    EXPECT_EQ(model.setElectrodeConnection(384, 0), 2u);
    EXPECT_EQ(model.setElectrodeConnection(384, 200), 2u);
    EXPECT_EQ(model.setElectrodeConnection(383, 1), 0u);
    EXPECT_EQ(model.setElectrodeConnection(5, 0), 0u);
    EXPECT_EQ(model.setElectrodeConnection(5, 255), 0u);
    const std::vector<uint8_t> connections = connectionsOf(model);
    ASSERT_EQ(connections.size(), 384u);
    EXPECT_EQ(connections[191], 2);
    EXPECT_EQ(connections[383], 1);
    EXPECT_EQ(connections[5], 255);
    EXPECT_EQ(connections[200], 255);
}

TEST(ShankChainBanks, BankLimitsOfType3) {
    AsicID id{0, 3};
    ShankConfiguration model(&id);
    EXPECT_EQ(model.setElectrodeConnection(137, 3), 0u); // electrode 965
    EXPECT_EQ(model.setElectrodeConnection(138, 3), 3u); // electrode 966
    EXPECT_EQ(model.setElectrodeConnection(138, 2), 0u);
    EXPECT_EQ(model.setElectrodeConnection(276, 0), 2u);
    EXPECT_EQ(model.setElectrodeConnection(275, 255), 0u);
    EXPECT_EQ(model.enableElectrode(965), 0u);
    const std::vector<uint8_t> connections = connectionsOf(model);
    EXPECT_EQ(connections[137], 3);
    EXPECT_EQ(connections[138], 2);
}

TEST(ShankChainBanks, ProbeTypesWithoutShankAreRefused) {
    AsicID id{0, 0};
    ShankConfiguration model(&id);
    std::vector<bool> chain(962, true);
    for (int8_t type : {0, 1}) {
        id.probeType = type;
        EXPECT_EQ(model.setElectrodeConnection(999, 0), 1u);
        EXPECT_EQ(model.setElectrodeConnection(5, 255), 1u);
        EXPECT_EQ(model.enableElectrode(5000), 1u);
        EXPECT_EQ(model.disableAllInternalReferences(), 1u);
        EXPECT_EQ(model.getChain(chain), 1u);
        EXPECT_TRUE(chain.empty());
        chain.assign(962, true);
        EXPECT_EQ(model.getShankConfigFromChain(chain), 1u);
        EXPECT_EQ(chain.size(), 962u);
    }
    EXPECT_EQ(connectionsOf(model), std::vector<uint8_t>(384, 255));
    EXPECT_TRUE(model.getEvenReference());
}

// Without an identity the model acts for probe type 0 and must not crash.
TEST(ShankChainBanks, NullAsicIdHasNoShank) {
    ShankConfiguration model(nullptr);
    std::vector<bool> chain;
    EXPECT_EQ(model.enableElectrode(0), 1u);
    EXPECT_EQ(model.getChain(chain), 1u);
    EXPECT_EQ(model.getShankConfigFromChain(chain), 1u);
    AsicID id{0, 2};
    model.setAsicId(&id);
    EXPECT_EQ(model.enableElectrode(0), 0u);
}

TEST_P(ShankChainTest, InternalReferenceChannelsAreDisconnected) {
    const Shank s = GetParam();
    for (unsigned int c = 0; c < s.channels; ++c)
        ASSERT_EQ(model_.enableElectrode(c), 0u);
    EXPECT_EQ(model_.disableAllInternalReferences(), 0u);
    const std::vector<uint8_t> connections = connectionsOf(model_);
    const std::set<unsigned int> internal{36, 75, 112, 151, 188, 227, 264, 303, 340, 379};
    for (unsigned int c = 0; c < s.channels; ++c) {
        EXPECT_EQ(connections[c], internal.count(c) ? 255 : 0) << "channel " << c;
    }
    EXPECT_EQ(connections[35], 0);
    EXPECT_EQ(connections[36], 255);
}

TEST(ShankChainTypes, Type3IgnoresChannelsBeyond275) {
    AsicID id{0, 2};
    ShankConfiguration model(&id);
    ASSERT_EQ(model.setElectrodeConnection(300, 1), 0u);
    ASSERT_EQ(model.setElectrodeConnection(10, 1), 0u);
    id.probeType = 3;
    std::vector<bool> chain;
    ASSERT_EQ(model.getChain(chain), 0u);
    EXPECT_EQ(chain, expectedChain(kType3, {286}, true, true));

    chain = expectedChain(kType3, {}, true, true);
    ASSERT_EQ(model.getShankConfigFromChain(chain), 0u);
    const std::vector<uint8_t> connections = connectionsOf(model);
    EXPECT_EQ(connections[10], 255);
    EXPECT_EQ(connections[300], 1);
}

TEST(ShankChainTypes, ConnectionBeyondTheShankOfTheCurrentTypeFailsTheEncode) {
    AsicID id{0, 3};
    ShankConfiguration model(&id);
    ASSERT_EQ(model.setElectrodeConnection(137, 3), 0u);
    id.probeType = 2; // 3 * 384 + 137 lies beyond electrode 959
    std::vector<bool> chain(5, true);
    EXPECT_EQ(model.getChain(chain), 3u);
    EXPECT_TRUE(chain.empty());
}

// --- test chain -------------------------------------------------------------

// Settings in declaration order, numbered 0 to 17.
bool& setting(TestConfiguration& t, unsigned int n) {
    bool* all[18] = {&t.settings0to1[0],   &t.settings0to1[1],   &t.setting2,
                     &t.settings3to4[0],   &t.settings3to4[1],   &t.setting5,
                     &t.setting6,          &t.setting7,          &t.settings8to11[0],
                     &t.settings8to11[1],  &t.settings8to11[2],  &t.settings8to11[3],
                     &t.settings12to15[0], &t.settings12to15[1], &t.settings12to15[2],
                     &t.settings12to15[3], &t.settings16to17[0], &t.settings16to17[1]};
    return *all[n];
}

// Chain bit that carries each setting.
constexpr unsigned int kBitOfSetting[18] = {0,  1, 2, 4,  3,  5,  6,  7,  11,
                                            10, 9, 8, 15, 14, 13, 12, 17, 16};

TEST(TestChain, ComparatorSettingsLandOnTheirBits) {
    TestConfiguration t;
    t.settings12to15[1] = true; // setting 13
    std::vector<bool> chain;
    t.getChain(chain);
    std::vector<bool> expected(18, false);
    expected[14] = true;
    EXPECT_EQ(chain, expected);

    t.reset();
    t.settings12to15[3] = true; // setting 15
    t.getChain(chain);
    expected.assign(18, false);
    expected[12] = true;
    EXPECT_EQ(chain, expected);
}

TEST(TestChain, EverySettingAloneSetsOnlyItsChainBit) {
    for (unsigned int n = 0; n < 18; ++n) {
        TestConfiguration t;
        setting(t, n) = true;
        std::vector<bool> chain(40, true);
        t.getChain(chain);
        std::vector<bool> expected(18, false);
        expected[kBitOfSetting[n]] = true;
        EXPECT_EQ(chain, expected) << "setting " << n;

        TestConfiguration decoded;
        decoded.getTestConfigFromChain(chain);
        EXPECT_TRUE(chain.empty());
        for (unsigned int m = 0; m < 18; ++m)
            EXPECT_EQ(setting(decoded, m), m == n) << n << m;
    }
}

TEST(TestChain, RandomSettingsRoundTripAndResetClears) {
    std::mt19937 rng(99);
    for (int round = 0; round < 50; ++round) {
        TestConfiguration source, target;
        for (unsigned int n = 0; n < 18; ++n) {
            setting(source, n) = rng() % 2;
            setting(target, n) = rng() % 2;
        }
        std::vector<bool> chain;
        source.getChain(chain);
        target.getTestConfigFromChain(chain);
        for (unsigned int n = 0; n < 18; ++n)
            ASSERT_EQ(setting(target, n), setting(source, n));
        target.reset();
        for (unsigned int n = 0; n < 18; ++n)
            ASSERT_FALSE(setting(target, n));
    }
}

TEST(TestChain, WrongLengthChangesNothing) {
    TestConfiguration t;
    t.setting7 = true;
    for (unsigned int length : {0u, 17u, 19u}) {
        std::vector<bool> chain(length, true);
        t.getTestConfigFromChain(chain);
        EXPECT_EQ(chain.size(), length);
        for (unsigned int n = 0; n < 18; ++n)
            EXPECT_EQ(setting(t, n), n == 7) << length << n;
    }
}

} // namespace
