#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "config/BaseConfiguration.h"

namespace {

constexpr unsigned int kChainBits = 7414;

// Reads a field stored least significant bit first.
unsigned int field(const std::vector<bool>& chain, unsigned int first, unsigned int width) {
    unsigned int value = 0;
    for (unsigned int bit = 0; bit < width; ++bit) {
        if (chain.at(first + bit)) value |= 1u << bit;
    }
    return value;
}

// Chain positions of the base chain layout table.
unsigned int adcGroupStart(unsigned int number) {
    return number % 2 ? 0 : 7160;
}
unsigned int compPPos(unsigned int adc) {
    return adcGroupStart(adc) + (7 - adc / 4) * 31 + (adc % 4 >= 2 ? 10 : 0);
}
unsigned int pairPos(unsigned int pair) {
    return adcGroupStart(pair) + (7 - pair / 2) * 31 + 20;
}
unsigned int channelPos(unsigned int c) {
    return c % 2 ? 248 + 7 * (c / 2) : 5816 + 7 * (c / 2);
}
unsigned int referencePos(unsigned int c, unsigned int index) {
    return (c % 2 ? 1592 + 11 * ((383 - c) / 2) : 3704 + 11 * ((382 - c) / 2)) + index;
}

std::vector<bool> chainOf(const BaseConfiguration& model) {
    std::vector<bool> chain;
    model.getChain(chain);
    return chain;
}

// Fills a model with random valid values through its setters.
void randomize(BaseConfiguration& model, std::mt19937& rng, unsigned int channelsInUse) {
    auto pick = [&rng](unsigned int max) {
        return static_cast<uint8_t>(std::uniform_int_distribution<unsigned int>(0, max)(rng));
    };
    for (uint8_t adc = 0; adc < 32; ++adc) {
        ASSERT_EQ(model.setAdcCompP(adc, pick(31)), 0u);
        ASSERT_EQ(model.setAdcCompN(adc, pick(31)), 0u);
    }
    for (uint8_t pair = 0; pair < 16; ++pair) {
        ASSERT_EQ(model.setAdcPairSlope(pair, pick(7), pick(3), pick(3)), 0u);
        ASSERT_EQ(model.setAdcPairCfix(pair, pick(15)), 0u);
    }
    for (unsigned int channel = 0; channel < 384; ++channel) {
        ASSERT_EQ(model.setChannelSettingApGain(channel, pick(7)), 0u);
        ASSERT_EQ(model.setChannelSettingLfpGain(channel, pick(7)), 0u);
        ASSERT_EQ(model.setChannelSettingStandby(channel, pick(1)), 0u);
    }
    for (unsigned int channel = 0; channel < channelsInUse; ++channel) {
        ASSERT_EQ(model.setChannelReferenceIndex(channel, pick(10)), 0u);
    }
    const unsigned int bwHp[] = {0, 1, 3};
    ASSERT_EQ(model.setAdditionalSettingBwHp(bwHp[pick(2)]), 0u);
    model.setAdditionalSettingSwBulk(pick(1));
    model.setAdditionalSettingSelBias(pick(1));
    model.setAdditionalSettingTestOn(pick(1));
    model.setAdditionalSettingSarCal(pick(1));
}

void expectSameAdcs(const BaseConfiguration& a, const BaseConfiguration& b) {
    const auto compsA = a.getAdcCalibrationComp(), compsB = b.getAdcCalibrationComp();
    for (unsigned int adc = 0; adc < 32; ++adc) {
        EXPECT_EQ(compsA[adc].compP, compsB[adc].compP) << "adc " << adc;
        EXPECT_EQ(compsA[adc].compN, compsB[adc].compN) << "adc " << adc;
    }
    const auto pairsA = a.getAdcCalibrationCommon(), pairsB = b.getAdcCalibrationCommon();
    for (unsigned int pair = 0; pair < 16; ++pair) {
        EXPECT_EQ(pairsA[pair].slope, pairsB[pair].slope) << "pair " << pair;
        EXPECT_EQ(pairsA[pair].fine, pairsB[pair].fine) << "pair " << pair;
        EXPECT_EQ(pairsA[pair].coarse, pairsB[pair].coarse) << "pair " << pair;
        EXPECT_EQ(pairsA[pair].cfix, pairsB[pair].cfix) << "pair " << pair;
    }
}

void expectSameChannel(const ChanSetxx& a, const ChanSetxx& b, unsigned int channel) {
    EXPECT_EQ(a.apGain, b.apGain) << "channel " << channel;
    EXPECT_EQ(a.lfpGain, b.lfpGain) << "channel " << channel;
    EXPECT_EQ(a.standby, b.standby) << "channel " << channel;
}

void expectSameModel(const BaseConfiguration& a, const BaseConfiguration& b) {
    expectSameAdcs(a, b);
    const auto chA = a.getChannelSettings(), chB = b.getChannelSettings();
    for (unsigned int channel = 0; channel < 384; ++channel) {
        expectSameChannel(chA[channel], chB[channel], channel);
    }
    EXPECT_EQ(a.getAllChannelReferenceIndices(), b.getAllChannelReferenceIndices());
    AdditionalSettings addA, addB;
    a.getAdditionalSettings(addA);
    b.getAdditionalSettings(addB);
    EXPECT_EQ(addA.BwHp, addB.BwHp);
    EXPECT_EQ(addA.SwBulk, addB.SwBulk);
    EXPECT_EQ(addA.SelBias, addB.SelBias);
    EXPECT_EQ(addA.TestOn, addB.TestOn);
    EXPECT_EQ(addA.SarCal, addB.SarCal);
}

class BaseChainTest : public ::testing::Test {
protected:
    AsicID id_{};
    BaseConfiguration model_{&id_};

    void SetUp() override { id_.probeType = 2; }
};

// --- encoding ----------------------------------------------------------------

TEST_F(BaseChainTest, ResetModelEncodesDefaults) {
    const std::vector<bool> chain = chainOf(model_);
    ASSERT_EQ(chain.size(), kChainBits);
    for (unsigned int adc = 0; adc < 32; ++adc) {
        EXPECT_EQ(field(chain, compPPos(adc), 5), 21u) << "adc " << adc;
        EXPECT_EQ(field(chain, compPPos(adc) + 5, 5), 21u) << "adc " << adc;
    }
    // Bit pattern 1, 0, 1, 0, 1 from low to high position.
    EXPECT_TRUE(chain[0] && !chain[1] && chain[2] && !chain[3] && chain[4]);
    for (unsigned int pair = 0; pair < 16; ++pair) {
        EXPECT_EQ(field(chain, pairPos(pair), 11), 0u) << "pair " << pair;
    }
    for (unsigned int c = 0; c < 384; ++c) {
        EXPECT_EQ(field(chain, channelPos(c), 3), 1u) << "channel " << c;
        EXPECT_EQ(field(chain, channelPos(c) + 3, 3), 1u) << "channel " << c;
        EXPECT_FALSE(chain[channelPos(c) + 6]) << "channel " << c;
        EXPECT_EQ(field(chain, referencePos(c, 0), 11), 1u) << "channel " << c;
    }
    EXPECT_EQ(field(chain, 7408, 6), 0u);
}

// Each worked position: a distinctive value must land in exactly those bits
// and change nothing else in the chain.
struct WorkedPosition {
    const char* name;
    unsigned int first;
    unsigned int width;
    unsigned int value;
    unsigned int (*apply)(BaseConfiguration&);
};

TEST_F(BaseChainTest, WorkedPositionsHoldTheirFields) {
    const WorkedPosition cases[] = {
        {"adc 29 compP", 0, 5, 22, [](BaseConfiguration& m) { return m.setAdcCompP(29, 22); }},
        {"adc 29 compN", 5, 5, 6, [](BaseConfiguration& m) { return m.setAdcCompN(29, 6); }},
        {"adc 31 compP", 10, 5, 12, [](BaseConfiguration& m) { return m.setAdcCompP(31, 12); }},
        {"pair 15 slope", 20, 3, 6, [](BaseConfiguration& m) { return m.setAdcPairSlope(15, 6); }},
        {"pair 15 fine", 23, 2, 2, [](BaseConfiguration& m) { return m.setAdcPairFine(15, 2); }},
        {"pair 15 coarse", 25, 2, 2,
         [](BaseConfiguration& m) { return m.setAdcPairCoarse(15, 2); }},
        {"pair 15 cfix", 27, 4, 12, [](BaseConfiguration& m) { return m.setAdcPairCfix(15, 12); }},
        {"pair 1 cfix", 244, 4, 6, [](BaseConfiguration& m) { return m.setAdcPairCfix(1, 6); }},
        {"channel 1 apGain", 248, 3, 6,
         [](BaseConfiguration& m) { return m.setChannelSettingApGain(1, 6); }},
        {"channel 1 lfpGain", 251, 3, 4,
         [](BaseConfiguration& m) { return m.setChannelSettingLfpGain(1, 4); }},
        {"channel 1 standby", 254, 1, 1,
         [](BaseConfiguration& m) { return m.setChannelSettingStandby(1, true); }},
        {"channel 383 standby", 1591, 1, 1,
         [](BaseConfiguration& m) { return m.setChannelSettingStandby(383, true); }},
        {"channel 383 reference 10", 1592, 11, 1u << 10,
         [](BaseConfiguration& m) { return m.setChannelReferenceIndex(383, 10); }},
        {"channel 1 reference 10", 3693, 11, 1u << 10,
         [](BaseConfiguration& m) { return m.setChannelReferenceIndex(1, 10); }},
        {"channel 382 reference 4", 3704, 11, 1u << 4,
         [](BaseConfiguration& m) { return m.setChannelReferenceIndex(382, 4); }},
        {"channel 0 reference 10", 5805, 11, 1u << 10,
         [](BaseConfiguration& m) { return m.setChannelReferenceIndex(0, 10); }},
        {"channel 0 apGain", 5816, 3, 6,
         [](BaseConfiguration& m) { return m.setChannelSettingApGain(0, 6); }},
        {"adc 28 compP", 7160, 5, 22, [](BaseConfiguration& m) { return m.setAdcCompP(28, 22); }},
        {"adc 0 compP", 7377, 5, 12, [](BaseConfiguration& m) { return m.setAdcCompP(0, 12); }},
        {"pair 0 cfix", 7404, 4, 12, [](BaseConfiguration& m) { return m.setAdcPairCfix(0, 12); }},
        {"BwHp", 7408, 2, 1, [](BaseConfiguration& m) { return m.setAdditionalSettingBwHp(1); }},
        {"SwBulk", 7410, 1, 1,
         [](BaseConfiguration& m) { return m.setAdditionalSettingSwBulk(true); }},
        {"SelBias", 7411, 1, 1,
         [](BaseConfiguration& m) { return m.setAdditionalSettingSelBias(true); }},
        {"TestOn", 7412, 1, 1,
         [](BaseConfiguration& m) { return m.setAdditionalSettingTestOn(true); }},
        {"SarCal", 7413, 1, 1,
         [](BaseConfiguration& m) { return m.setAdditionalSettingSarCal(true); }},
    };
    const std::vector<bool> defaults = chainOf(model_);
    for (const WorkedPosition& c : cases) {
        BaseConfiguration model(&id_);
        ASSERT_EQ(c.apply(model), 0u) << c.name;
        const std::vector<bool> chain = chainOf(model);
        ASSERT_EQ(chain.size(), kChainBits);
        EXPECT_EQ(field(chain, c.first, c.width), c.value) << c.name;
        for (unsigned int bit = 0; bit < kChainBits; ++bit) {
            if (bit >= c.first && bit < c.first + c.width) continue;
            EXPECT_EQ(chain[bit], defaults[bit]) << c.name << ": bit " << bit;
        }
    }
}

TEST_F(BaseChainTest, ReferenceIndexZeroAndTenOfTheEdgeChannels) {
    ASSERT_EQ(model_.setChannelReferenceIndex(383, 10), 0u);
    ASSERT_EQ(model_.setChannelReferenceIndex(382, 10), 0u);
    std::vector<bool> chain = chainOf(model_);
    EXPECT_TRUE(chain[1602]);
    EXPECT_FALSE(chain[1592]);
    EXPECT_FALSE(chain[3704]);
    ASSERT_EQ(model_.setChannelReferenceIndex(383, 0), 0u);
    ASSERT_EQ(model_.setChannelReferenceIndex(382, 0), 0u);
    chain = chainOf(model_);
    EXPECT_TRUE(chain[1592]);
    EXPECT_FALSE(chain[1602]);
    EXPECT_TRUE(chain[3704]);
}

TEST_F(BaseChainTest, EveryFieldOfARandomModelLiesWhereTheLayoutPutsIt) {
    std::mt19937 rng(7);
    randomize(model_, rng, 384);
    const std::vector<bool> chain = chainOf(model_);
    ASSERT_EQ(chain.size(), kChainBits);
    const auto comps = model_.getAdcCalibrationComp();
    for (unsigned int adc = 0; adc < 32; ++adc) {
        EXPECT_EQ(field(chain, compPPos(adc), 5), comps[adc].compP) << "adc " << adc;
        EXPECT_EQ(field(chain, compPPos(adc) + 5, 5), comps[adc].compN) << "adc " << adc;
    }
    const auto pairs = model_.getAdcCalibrationCommon();
    for (unsigned int pair = 0; pair < 16; ++pair) {
        EXPECT_EQ(field(chain, pairPos(pair), 3), pairs[pair].slope) << "pair " << pair;
        EXPECT_EQ(field(chain, pairPos(pair) + 3, 2), pairs[pair].fine) << "pair " << pair;
        EXPECT_EQ(field(chain, pairPos(pair) + 5, 2), pairs[pair].coarse) << "pair " << pair;
        EXPECT_EQ(field(chain, pairPos(pair) + 7, 4), pairs[pair].cfix) << "pair " << pair;
    }
    const auto channels = model_.getChannelSettings();
    const auto references = model_.getAllChannelReferenceIndices();
    for (unsigned int c = 0; c < 384; ++c) {
        EXPECT_EQ(field(chain, channelPos(c), 3), channels[c].apGain) << "channel " << c;
        EXPECT_EQ(field(chain, channelPos(c) + 3, 3), channels[c].lfpGain) << "channel " << c;
        EXPECT_EQ(chain[channelPos(c) + 6], channels[c].standby) << "channel " << c;
        EXPECT_EQ(field(chain, referencePos(c, 0), 11), 1u << references[c]) << "channel " << c;
    }
}

TEST_F(BaseChainTest, GetChainReplacesTheVectorContents) {
    std::vector<bool> chain(20000, true);
    model_.getChain(chain);
    EXPECT_EQ(chain.size(), kChainBits);
}

// --- decoding ----------------------------------------------------------------

TEST_F(BaseChainTest, EncodeThenDecodeRestoresRandomModelsOfEveryProbeType) {
    std::mt19937 rng(20240611);
    for (int8_t type = 0; type <= 3; ++type) {
        const unsigned int inUse = type == 3 ? 276 : 384;
        for (int round = 0; round < 40; ++round) {
            AsicID sourceId{0, type};
            BaseConfiguration source(&sourceId);
            randomize(source, rng, inUse);
            // The target starts from another random model, references of all
            // 384 channels included, so that every field must be overwritten.
            AsicID targetId{0, 2};
            BaseConfiguration target(&targetId);
            randomize(target, rng, 384);
            targetId.probeType = type;

            std::vector<bool> chain = chainOf(source);
            ASSERT_EQ(target.getBaseConfigFromChain(chain), 0u);
            EXPECT_TRUE(chain.empty());
            expectSameModel(source, target);
            EXPECT_EQ(chainOf(target), chainOf(source));
            if (HasFailure()) return;
        }
    }
}

TEST_F(BaseChainTest, WrongLengthChainsChangeNeitherModelNorVector) {
    std::mt19937 rng(3);
    AsicID otherId{0, 2};
    BaseConfiguration other(&otherId);
    randomize(other, rng, 384);
    const std::vector<bool> before = chainOf(model_);
    for (unsigned int length : {0u, 7413u, 7415u}) {
        std::vector<bool> chain = chainOf(other);
        chain.resize(length, true);
        const std::vector<bool> copy = chain;
        EXPECT_EQ(model_.getBaseConfigFromChain(chain), 0u) << length;
        EXPECT_EQ(chain, copy) << length;
        EXPECT_EQ(chainOf(model_), before) << length;
    }
}

TEST_F(BaseChainTest, TwoReferenceFlagsInOneChannelStopTheDecodeWithPartialState) {
    std::mt19937 rng(11);
    AsicID oldId{0, 2}, newId{0, 2};
    BaseConfiguration oldModel(&oldId), newModel(&newId);
    randomize(oldModel, rng, 384);
    randomize(newModel, rng, 384);
    ASSERT_EQ(oldModel.setChannelReferenceIndex(0, 1), 0u);
    ASSERT_EQ(newModel.setChannelReferenceIndex(0, 7), 0u);

    std::vector<bool> chain = chainOf(newModel);
    chain[referencePos(0, 3)] = true; // channel 0 now has flags 3 and 7
    const std::vector<bool> sent = chain;

    BaseConfiguration decoded(&oldId);
    std::vector<bool> oldChain = chainOf(oldModel);
    ASSERT_EQ(decoded.getBaseConfigFromChain(oldChain), 0u);
    EXPECT_EQ(decoded.getBaseConfigFromChain(chain), 5u);

    // Channel 0's flags 10 down to 3 were taken; its flags 2..0 and everything
    // before them are still in the vector.
    ASSERT_EQ(chain.size(), referencePos(0, 3));
    EXPECT_TRUE(std::equal(chain.begin(), chain.end(), sent.begin()));

    AdditionalSettings got, expected;
    decoded.getAdditionalSettings(got);
    newModel.getAdditionalSettings(expected);
    EXPECT_EQ(got.BwHp, expected.BwHp);
    EXPECT_EQ(got.SarCal, expected.SarCal);
    EXPECT_EQ(got.SwBulk, expected.SwBulk);

    const auto comps = decoded.getAdcCalibrationComp();
    const auto newComps = newModel.getAdcCalibrationComp();
    const auto oldComps = oldModel.getAdcCalibrationComp();
    for (unsigned int adc = 0; adc < 32; ++adc) {
        const auto& want = adc % 2 ? oldComps[adc] : newComps[adc];
        EXPECT_EQ(comps[adc].compP, want.compP) << "adc " << adc;
        EXPECT_EQ(comps[adc].compN, want.compN) << "adc " << adc;
    }
    const auto pairs = decoded.getAdcCalibrationCommon();
    const auto newPairs = newModel.getAdcCalibrationCommon();
    const auto oldPairs = oldModel.getAdcCalibrationCommon();
    for (unsigned int pair = 0; pair < 16; ++pair) {
        const auto& want = pair % 2 ? oldPairs[pair] : newPairs[pair];
        EXPECT_EQ(pairs[pair].cfix, want.cfix) << "pair " << pair;
        EXPECT_EQ(pairs[pair].slope, want.slope) << "pair " << pair;
    }
    const auto channels = decoded.getChannelSettings();
    const auto newChannels = newModel.getChannelSettings();
    const auto oldChannels = oldModel.getChannelSettings();
    for (unsigned int c = 0; c < 384; ++c) {
        expectSameChannel(channels[c], c % 2 ? oldChannels[c] : newChannels[c], c);
    }

    // Flags 7 and 3 were stored as taken; flag 1 keeps its old value.
    const std::vector<bool> after = chainOf(decoded);
    EXPECT_EQ(field(after, referencePos(0, 0), 11), (1u << 7) | (1u << 3) | (1u << 1));
    uint8_t index = 0;
    EXPECT_EQ(decoded.getChannelReferenceIndex(0, index), 0u);
    EXPECT_EQ(index, 7);
    const auto oldReferences = oldModel.getAllChannelReferenceIndices();
    const auto references = decoded.getAllChannelReferenceIndices();
    for (unsigned int c = 1; c < 384; ++c)
        EXPECT_EQ(references[c], oldReferences[c]) << c;
}

TEST_F(BaseChainTest, ChannelWithoutReferenceFlagReadsAsIndexZero) {
    ASSERT_EQ(model_.setChannelReferenceIndex(5, 9), 0u);
    std::vector<bool> chain = chainOf(model_);
    chain[referencePos(5, 9)] = false;
    ASSERT_EQ(model_.getBaseConfigFromChain(chain), 0u);
    uint8_t index = 42;
    EXPECT_EQ(model_.getChannelReferenceIndex(5, index), 0u);
    EXPECT_EQ(index, 42);
    EXPECT_EQ(model_.getAllChannelReferenceIndices()[5], 0);
    EXPECT_EQ(model_.getChannelReferenceIndex(384, index), 2u);
}

// --- bit helpers -------------------------------------------------------------

TEST(BaseChainBits, SwitchBitsAppendAndRemoveLeastSignificantFirst) {
    std::vector<bool> chain{true};
    BaseConfiguration::switchBitsToChain(0xB6, 5, chain); // 10110
    EXPECT_EQ(chain, (std::vector<bool>{true, false, true, true, false, true}));
    BaseConfiguration::switchBitsToChain(0xFF, 0, chain);
    EXPECT_EQ(chain.size(), 6u);

    EXPECT_EQ(BaseConfiguration::switchBitsFromChain(0, chain), 0);
    EXPECT_EQ(chain.size(), 6u);
    EXPECT_EQ(BaseConfiguration::switchBitsFromChain(5, chain), 0x16);
    EXPECT_EQ(chain, std::vector<bool>{true});

    chain = {true, false, false, true, false, true, true, true};
    EXPECT_EQ(BaseConfiguration::switchBitsFromChain(8, chain), 0xE9);
    EXPECT_TRUE(chain.empty());
    EXPECT_EQ(BaseConfiguration::switchBitsFromChain(3, chain), 0);
}

// --- setters -----------------------------------------------------------------

TEST_F(BaseChainTest, SingleAdcSettersCheckAdcBeforeValue) {
    const std::vector<bool> before = chainOf(model_);
    EXPECT_EQ(model_.setAdcCompP(32, 32), 1u);
    EXPECT_EQ(model_.setAdcCompN(32, 0), 1u);
    EXPECT_EQ(model_.setAdcCompP(31, 32), 3u);
    EXPECT_EQ(model_.setAdcCompN(0, 32), 3u);
    EXPECT_EQ(model_.setAdcPairSlope(16, 8), 1u);
    EXPECT_EQ(model_.setAdcPairSlope(15, 8), 3u);
    EXPECT_EQ(model_.setAdcPairFine(16, 4), 1u);
    EXPECT_EQ(model_.setAdcPairFine(15, 4), 3u);
    EXPECT_EQ(model_.setAdcPairCoarse(16, 4), 1u);
    EXPECT_EQ(model_.setAdcPairCoarse(15, 4), 3u);
    EXPECT_EQ(model_.setAdcPairCfix(16, 16), 1u);
    EXPECT_EQ(model_.setAdcPairCfix(15, 16), 3u);
    EXPECT_EQ(model_.setAdcPairSlope(16, 8, 4, 4), 1u);
    EXPECT_EQ(model_.setAdcPairSlope(0, 8, 0, 0), 3u);
    EXPECT_EQ(model_.setAdcPairSlope(0, 0, 4, 0), 3u);
    EXPECT_EQ(model_.setAdcPairSlope(0, 0, 0, 4), 3u);
    EXPECT_EQ(chainOf(model_), before);

    EXPECT_EQ(model_.setAdcCompP(31, 31), 0u);
    EXPECT_EQ(model_.setAdcPairSlope(15, 7), 0u);
    EXPECT_EQ(model_.setAdcPairFine(15, 3), 0u);
    EXPECT_EQ(model_.setAdcPairCoarse(15, 3), 0u);
    EXPECT_EQ(model_.setAdcPairCfix(15, 15), 0u);
    EXPECT_EQ(model_.getAdcCalibrationComp()[31].compP, 31);
    const adcPairCommon pair = model_.getAdcCalibrationCommon()[15];
    EXPECT_EQ(pair.slope, 7);
    EXPECT_EQ(pair.fine, 3);
    EXPECT_EQ(pair.coarse, 3);
    EXPECT_EQ(pair.cfix, 15);
}

TEST_F(BaseChainTest, FourArgumentSlopeTakesSlopeCoarseFineInThatOrder) {
    ASSERT_EQ(model_.setAdcPairSlope(3, 5, 2, 1), 0u);
    const adcPairCommon pair = model_.getAdcCalibrationCommon()[3];
    EXPECT_EQ(pair.slope, 5);
    EXPECT_EQ(pair.coarse, 2);
    EXPECT_EQ(pair.fine, 1);
}

TEST_F(BaseChainTest, SetAdcCompChecksSizeThenCopiesUpToTheFailingField) {
    std::vector<adcComp> comps(32);
    for (unsigned int adc = 0; adc < 32; ++adc)
        comps[adc] = adcComp{uint8_t(adc), uint8_t(31 - adc)};
    std::vector<adcComp> shorter(comps.begin(), comps.end() - 1);
    shorter[0].compP = 99;
    EXPECT_EQ(model_.setAdcComp(shorter), 1u);
    EXPECT_EQ(model_.getAdcCalibrationComp()[0].compP, 21);

    comps[5].compN = 32;
    EXPECT_EQ(model_.setAdcComp(comps), 3u);
    auto got = model_.getAdcCalibrationComp();
    EXPECT_EQ(got[4].compP, 4);
    EXPECT_EQ(got[4].compN, 27);
    EXPECT_EQ(got[5].compP, 5);  // copied before compN failed
    EXPECT_EQ(got[5].compN, 21); // unchanged
    EXPECT_EQ(got[6].compP, 21);

    BaseConfiguration fresh(&id_);
    comps[5].compN = 0;
    comps[2].compP = 32;
    EXPECT_EQ(fresh.setAdcComp(comps), 3u);
    got = fresh.getAdcCalibrationComp();
    EXPECT_EQ(got[1].compN, 30);
    EXPECT_EQ(got[2].compP, 21);
    EXPECT_EQ(got[2].compN, 21);

    comps[2].compP = 2;
    EXPECT_EQ(fresh.setAdcComp(comps), 0u);
    got = fresh.getAdcCalibrationComp();
    EXPECT_EQ(got[31].compP, 31);
    EXPECT_EQ(got[31].compN, 0);
}

TEST_F(BaseChainTest, SetAdcPairChecksSizeThenCopiesUpToTheFailingField) {
    std::vector<adcPairCommon> pairs(16, adcPairCommon{7, 3, 2, 9});
    EXPECT_EQ(model_.setAdcPair(std::vector<adcPairCommon>(17, pairs[0])), 1u);
    EXPECT_EQ(model_.getAdcCalibrationCommon()[0].slope, 0);

    pairs[4].cfix = 16;
    EXPECT_EQ(model_.setAdcPair(pairs), 3u);
    auto got = model_.getAdcCalibrationCommon();
    EXPECT_EQ(got[3].cfix, 9);
    EXPECT_EQ(got[4].slope, 7);
    EXPECT_EQ(got[4].fine, 3);
    EXPECT_EQ(got[4].coarse, 2);
    EXPECT_EQ(got[4].cfix, 0);
    EXPECT_EQ(got[5].slope, 0);

    BaseConfiguration fresh(&id_);
    pairs[4].cfix = 1;
    pairs[2].fine = 4;
    EXPECT_EQ(fresh.setAdcPair(pairs), 3u);
    got = fresh.getAdcCalibrationCommon();
    EXPECT_EQ(got[1].coarse, 2);
    EXPECT_EQ(got[2].slope, 0);
    EXPECT_EQ(got[2].cfix, 0);

    pairs[2].fine = 0;
    pairs[7].slope = 8;
    EXPECT_EQ(fresh.setAdcPair(pairs), 3u);
    pairs[7].slope = 0;
    pairs[9].coarse = 4;
    EXPECT_EQ(fresh.setAdcPair(pairs), 3u);
    pairs[9].coarse = 0;
    EXPECT_EQ(fresh.setAdcPair(pairs), 0u);
    EXPECT_EQ(fresh.getAdcCalibrationCommon()[15].cfix, 9);
}

TEST_F(BaseChainTest, ChannelSettersCheckChannelBeforeValue) {
    const std::vector<bool> before = chainOf(model_);
    EXPECT_EQ(model_.setChannelSettingApGain(384, 8), 2u);
    EXPECT_EQ(model_.setChannelSettingLfpGain(384, 8), 2u);
    EXPECT_EQ(model_.setChannelSettingApGain(383, 8), 3u);
    EXPECT_EQ(model_.setChannelSettingLfpGain(383, 8), 3u);
    EXPECT_EQ(model_.setChannelSettingStandby(384, true), 2u);
    EXPECT_EQ(model_.setAllAPGains(8), 3u);
    EXPECT_EQ(model_.setAllLFPGains(8), 3u);
    EXPECT_EQ(chainOf(model_), before);

    EXPECT_EQ(model_.setChannelSettingApGain(383, 7), 0u);
    EXPECT_EQ(model_.setChannelSettingLfpGain(383, 0), 0u);
    EXPECT_EQ(model_.setChannelSettingStandby(383, true), 0u);
    const ChanSetxx last = model_.getChannelSettings()[383];
    EXPECT_EQ(last.apGain, 7);
    EXPECT_EQ(last.lfpGain, 0);
    EXPECT_TRUE(last.standby);
}

TEST_F(BaseChainTest, AllChannelSettersReachAll384ChannelsOnEveryProbeType) {
    id_.probeType = 3;
    EXPECT_EQ(model_.setAllAPGains(5), 0u);
    EXPECT_EQ(model_.setAllLFPGains(6), 0u);
    EXPECT_EQ(model_.setAllStandby(true), 0u);
    const auto channels = model_.getChannelSettings();
    ASSERT_EQ(channels.size(), 384u);
    for (unsigned int c = 0; c < 384; ++c)
        expectSameChannel(channels[c], ChanSetxx{5, 6, true}, c);
}

TEST_F(BaseChainTest, SetChannelSettingsCopiesUpToTheFailingField) {
    std::vector<ChanSetxx> settings(384, ChanSetxx{4, 5, true});
    EXPECT_EQ(model_.setChannelSettings(std::vector<ChanSetxx>(276, settings[0])), 2u);
    EXPECT_EQ(model_.getChannelSettings()[0].apGain, 1);

    settings[10].lfpGain = 8;
    EXPECT_EQ(model_.setChannelSettings(settings), 3u);
    auto got = model_.getChannelSettings();
    expectSameChannel(got[9], ChanSetxx{4, 5, true}, 9);
    expectSameChannel(got[10], ChanSetxx{4, 1, false}, 10);
    expectSameChannel(got[11], ChanSetxx{1, 1, false}, 11);

    BaseConfiguration fresh(&id_);
    settings[10].lfpGain = 5;
    settings[20].apGain = 8;
    EXPECT_EQ(fresh.setChannelSettings(settings), 3u);
    got = fresh.getChannelSettings();
    expectSameChannel(got[19], ChanSetxx{4, 5, true}, 19);
    expectSameChannel(got[20], ChanSetxx{1, 1, false}, 20);
}

TEST_F(BaseChainTest, ProbeType3ChannelSettingsTake276Entries) {
    id_.probeType = 3;
    EXPECT_EQ(model_.setChannelSettings(std::vector<ChanSetxx>(384, ChanSetxx{4, 5, true})), 2u);
    EXPECT_EQ(model_.getChannelSettings()[0].apGain, 1);
    EXPECT_EQ(model_.setChannelSettings(std::vector<ChanSetxx>(276, ChanSetxx{4, 5, true})), 0u);
    const auto got = model_.getChannelSettings();
    expectSameChannel(got[275], ChanSetxx{4, 5, true}, 275);
    for (unsigned int c = 276; c < 384; ++c)
        expectSameChannel(got[c], ChanSetxx{1, 1, false}, c);
}

TEST_F(BaseChainTest, ReferenceIndexChecksChannelThenIndexThenProbeType3) {
    EXPECT_EQ(model_.setChannelReferenceIndex(384, 11), 2u);
    EXPECT_EQ(model_.setChannelReferenceIndex(383, 11), 3u);
    EXPECT_EQ(model_.setChannelReferenceIndex(300, 0), 0u);
    EXPECT_EQ(model_.setChannelReferenceIndex(300, 10), 0u);
    id_.probeType = 3;
    EXPECT_EQ(model_.setChannelReferenceIndex(300, 11), 3u);
    EXPECT_EQ(model_.setChannelReferenceIndex(300, 0), 2u);
    EXPECT_EQ(model_.setChannelReferenceIndex(276, 0), 2u);
    EXPECT_EQ(model_.setChannelReferenceIndex(275, 9), 0u);
    const auto indices = model_.getAllChannelReferenceIndices();
    EXPECT_EQ(indices[300], 10);
    EXPECT_EQ(indices[275], 9);
}

TEST_F(BaseChainTest, AllChannelReferenceIndicesFollowTheSizeAndEntryChecks) {
    std::vector<uint8_t> indices(384, 6);
    EXPECT_EQ(model_.setAllChannelReferenceIndices(std::vector<uint8_t>(276, 6)), 2u);
    EXPECT_EQ(model_.getAllChannelReferenceIndices()[0], 0);

    indices[100] = 11;
    EXPECT_EQ(model_.setAllChannelReferenceIndices(indices), 3u);
    auto got = model_.getAllChannelReferenceIndices();
    EXPECT_EQ(got[99], 6);
    EXPECT_EQ(got[100], 0);
    EXPECT_EQ(got[101], 0);

    for (unsigned int c = 0; c < 384; ++c)
        indices[c] = static_cast<uint8_t>(c % 11);
    EXPECT_EQ(model_.setAllChannelReferenceIndices(indices), 0u);
    EXPECT_EQ(model_.getAllChannelReferenceIndices(), indices);

    id_.probeType = 3;
    EXPECT_EQ(model_.setAllChannelReferenceIndices(indices), 2u);
    EXPECT_EQ(model_.setAllChannelReferenceIndices(std::vector<uint8_t>(276, 2)), 0u);
    got = model_.getAllChannelReferenceIndices();
    EXPECT_EQ(got[275], 2);
    EXPECT_EQ(got[276], indices[276]);
}

TEST_F(BaseChainTest, SetAllReferencesFollowsTheProbeType) {
    EXPECT_EQ(model_.setAllReferences(11), 3u);
    EXPECT_EQ(model_.setAllReferences(8), 0u);
    EXPECT_EQ(model_.getAllChannelReferenceIndices(), std::vector<uint8_t>(384, 8));

    id_.probeType = 3;
    EXPECT_EQ(model_.setAllReferences(8), 3u);
    EXPECT_EQ(model_.getAllChannelReferenceIndices(), std::vector<uint8_t>(384, 8));
    EXPECT_EQ(model_.setAllReferences(7), 0u);
    const auto got = model_.getAllChannelReferenceIndices();
    EXPECT_EQ(got[275], 7);
    EXPECT_EQ(got[276], 8);
    EXPECT_EQ(got[383], 8);
}

TEST_F(BaseChainTest, AdditionalSettings) {
    EXPECT_EQ(model_.setAdditionalSettingBwHp(2), 3u);
    EXPECT_EQ(model_.setAdditionalSettingBwHp(4), 3u);
    AdditionalSettings got{};
    model_.getAdditionalSettings(got);
    EXPECT_EQ(got.BwHp, 0);
    for (unsigned int value : {1u, 3u, 0u}) {
        EXPECT_EQ(model_.setAdditionalSettingBwHp(value), 0u);
        model_.getAdditionalSettings(got);
        EXPECT_EQ(got.BwHp, value);
    }
    EXPECT_EQ(model_.setAdditionalSettingSwBulk(true), 0u);
    EXPECT_EQ(model_.setAdditionalSettingSelBias(true), 0u);
    EXPECT_EQ(model_.setAdditionalSettingTestOn(false), 0u);
    EXPECT_EQ(model_.setAdditionalSettingSarCal(true), 0u);
    EXPECT_EQ(model_.getAdditionalSettings(got), 0u);
    EXPECT_TRUE(got.SwBulk);
    EXPECT_TRUE(got.SelBias);
    EXPECT_FALSE(got.TestOn);
    EXPECT_TRUE(got.SarCal);
}

TEST_F(BaseChainTest, ResetRestoresDefaultsAndKeepsTheIdentity) {
    std::mt19937 rng(5);
    randomize(model_, rng, 384);
    const std::vector<bool> defaults = chainOf(BaseConfiguration(&id_));
    model_.reset();
    EXPECT_EQ(chainOf(model_), defaults);
    id_.probeType = 3;
    EXPECT_EQ(model_.setChannelReferenceIndex(300, 0), 2u);

    AsicID other{0, 2};
    model_.setAsicId(&other);
    EXPECT_EQ(model_.setChannelReferenceIndex(300, 0), 0u);
}

// Without an identity the model acts for probe type 0 and must not crash.
TEST(BaseChainNoIdentity, NullAsicIdReadsAsProbeType0) {
    BaseConfiguration model(nullptr);
    EXPECT_EQ(model.setChannelSettings(std::vector<ChanSetxx>(384, ChanSetxx{2, 2, false})), 0u);
    EXPECT_EQ(model.setChannelReferenceIndex(300, 4), 0u);
    EXPECT_EQ(model.setAllReferences(10), 0u);
    EXPECT_EQ(model.setAllChannelReferenceIndices(std::vector<uint8_t>(384, 1)), 0u);
    std::vector<bool> chain = chainOf(model);
    EXPECT_EQ(model.getBaseConfigFromChain(chain), 0u);
}

} // namespace
