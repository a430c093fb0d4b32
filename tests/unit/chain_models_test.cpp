// The three chain models: where every field lies in the encoded chain, the
// setters' range checks and codes, and decoding back (with its refusals).
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "config/BaseConfiguration.h"
#include "config/ShankConfiguration.h"
#include "config/TestConfiguration.h"

namespace {

using Chain = std::vector<bool>;

// A field stored least significant bit first.
unsigned int field(const Chain& chain, unsigned int first, unsigned int width) {
    unsigned int value = 0;
    for (unsigned int bit = 0; bit < width; ++bit)
        value |= static_cast<unsigned int>(chain.at(first + bit)) << bit;
    return value;
}

template <class Model> Chain chainOf(const Model& model) {
    Chain chain;
    model.getChain(chain);
    return chain;
}

// Base chain layout: odd ADCs and pairs at the start, even ones at 7160; odd
// channels' settings from 248, even ones' from 5816; reference flags of odd
// channels from 1592 (channel 383 first), even ones' from 3704 (382 first).
unsigned int adcGroup(unsigned int n) {
    return n % 2 ? 0 : 7160;
}
unsigned int compPBit(unsigned int adc) {
    return adcGroup(adc) + (7 - adc / 4) * 31 + (adc % 4 >= 2 ? 10 : 0);
}
unsigned int pairBit(unsigned int pair) {
    return adcGroup(pair) + (7 - pair / 2) * 31 + 20;
}
unsigned int channelBit(unsigned int c) {
    return (c % 2 ? 248 : 5816) + 7 * (c / 2);
}
unsigned int referenceBit(unsigned int c) {
    return c % 2 ? 1592 + 11 * ((383 - c) / 2) : 3704 + 11 * ((382 - c) / 2);
}

void randomize(BaseConfiguration& m, std::mt19937& rng, unsigned int referencedChannels) {
    auto pick = [&](unsigned int max) { return static_cast<uint8_t>(rng() % (max + 1)); };
    for (uint8_t adc = 0; adc < 32; ++adc)
        ASSERT_EQ(m.setAdcCompP(adc, pick(31)) + m.setAdcCompN(adc, pick(31)), 0u);
    for (uint8_t pair = 0; pair < 16; ++pair)
        ASSERT_EQ(m.setAdcPairSlope(pair, pick(7), pick(3), pick(3)) +
                      m.setAdcPairCfix(pair, pick(15)),
                  0u);
    for (unsigned int c = 0; c < 384; ++c)
        ASSERT_EQ(m.setChannelSettingApGain(c, pick(7)) + m.setChannelSettingLfpGain(c, pick(7)) +
                      m.setChannelSettingStandby(c, pick(1)),
                  0u);
    for (unsigned int c = 0; c < referencedChannels; ++c)
        ASSERT_EQ(m.setChannelReferenceIndex(c, pick(10)), 0u);
    ASSERT_EQ(m.setAdditionalSettingBwHp(pick(1) ? 3 : pick(1)), 0u);
    m.setAdditionalSettingSwBulk(pick(1));
    m.setAdditionalSettingSelBias(pick(1));
    m.setAdditionalSettingTestOn(pick(1));
    m.setAdditionalSettingSarCal(pick(1));
}

TEST(BaseChain, WorkedPositionsHoldTheirFieldAndNothingElseChanges) {
    using Set = std::function<unsigned int(BaseConfiguration&)>;
    const struct {
        unsigned int first, width, value;
        Set set;
    } rows[] = {
        {0, 5, 22, [](auto& m) { return m.setAdcCompP(29, 22); }},
        {23, 4, 9, [](auto& m) { return m.setAdcPairSlope(15, 0, 2, 1); }}, // slope, coarse, fine
        {1592, 11, 1u << 10, [](auto& m) { return m.setChannelReferenceIndex(383, 10); }},
        {5816, 3, 6, [](auto& m) { return m.setChannelSettingApGain(0, 6); }},
        {7408, 2, 3, [](auto& m) { return m.setAdditionalSettingBwHp(3); }},
        {7410, 1, 1, [](auto& m) { return m.setAdditionalSettingSwBulk(true); }},
        {7411, 1, 1, [](auto& m) { return m.setAdditionalSettingSelBias(true); }},
        {7412, 1, 1, [](auto& m) { return m.setAdditionalSettingTestOn(true); }},
        {7413, 1, 1, [](auto& m) { return m.setAdditionalSettingSarCal(true); }},
    };
    AsicID id{0, 2};
    const Chain defaults = chainOf(BaseConfiguration(&id));
    ASSERT_EQ(defaults.size(), 7414u);
    // Defaults: comparators 21, gain codes 1, reference 0, no standby.
    for (unsigned int adc = 0; adc < 32; ++adc)
        EXPECT_EQ(field(defaults, compPBit(adc), 10), 21u | 21u << 5) << adc;
    for (unsigned int c = 0; c < 384; ++c) {
        EXPECT_EQ(field(defaults, channelBit(c), 7), 1u | 1u << 3) << c;
        EXPECT_EQ(field(defaults, referenceBit(c), 11), 1u) << c;
    }
    for (const auto& row : rows) {
        BaseConfiguration model(&id);
        ASSERT_EQ(row.set(model), 0u) << row.first;
        Chain chain = chainOf(model);
        EXPECT_EQ(field(chain, row.first, row.width), row.value) << row.first;
        for (unsigned int bit = 0; bit < row.width; ++bit)
            chain[row.first + bit] = defaults[row.first + bit];
        EXPECT_EQ(chain, defaults) << "bits outside the field changed: " << row.first;
    }
}

TEST(BaseChain, RandomModelsOfEveryTypeEncodeAtTheirPositionsAndDecodeBack) {
    std::mt19937 rng(20240611);
    for (int8_t type = 0; type <= 3; ++type) {
        for (int round = 0; round < 10; ++round) {
            AsicID id{0, type};
            BaseConfiguration source(&id);
            randomize(source, rng, type == 3 ? 276 : 384);
            Chain chain = chainOf(source);
            const auto comps = source.getAdcCalibrationComp();
            const auto pairs = source.getAdcCalibrationCommon();
            for (unsigned int a = 0; a < 32; ++a) {
                ASSERT_EQ(field(chain, compPBit(a), 5), comps[a].compP) << a;
                ASSERT_EQ(field(chain, compPBit(a) + 5, 5), comps[a].compN) << a;
                const auto& p = pairs[a / 2];
                ASSERT_EQ(field(chain, pairBit(a / 2), 11),
                          p.slope | p.fine << 3 | p.coarse << 5 | p.cfix << 7u)
                    << a / 2;
            }
            const auto channels = source.getChannelSettings();
            const auto references = source.getAllChannelReferenceIndices();
            for (unsigned int c = 0; c < 384; ++c) {
                ASSERT_EQ(field(chain, channelBit(c), 7),
                          channels[c].apGain | channels[c].lfpGain << 3 | channels[c].standby << 6)
                    << c;
                ASSERT_EQ(field(chain, referenceBit(c), 11), 1u << references[c]) << c;
            }
            // The target starts from another random model, so that every field
            // must be overwritten by the decode.
            AsicID targetId{0, 2};
            BaseConfiguration target(&targetId);
            randomize(target, rng, 384);
            targetId.probeType = type;
            const Chain sent = chain;
            ASSERT_EQ(target.getBaseConfigFromChain(chain), 0u);
            EXPECT_TRUE(chain.empty());
            ASSERT_EQ(chainOf(target), sent) << "type " << int(type);
        }
    }
}

TEST(BaseChain, DecodeRefusesWrongLengthsAndStopsAtADoubleReference) {
    AsicID id{0, 2};
    BaseConfiguration model(&id);
    std::mt19937 rng(3);
    randomize(model, rng, 384);
    const Chain before = chainOf(model);
    for (unsigned int length : {0u, 7413u, 7415u}) {
        Chain chain(length, true);
        EXPECT_EQ(model.getBaseConfigFromChain(chain), 0u) << length;
        EXPECT_EQ(chain.size(), length);
        EXPECT_EQ(chainOf(model), before);
    }
    // Channel 0 with flags 3 and 7: decoding takes its flags 10 down to 3,
    // then stops with 5 and leaves the rest of the vector.
    AsicID freshId{0, 2};
    Chain chain = chainOf(BaseConfiguration(&freshId));
    chain[referenceBit(0)] = false;
    chain[referenceBit(0) + 3] = chain[referenceBit(0) + 7] = true;
    EXPECT_EQ(model.getBaseConfigFromChain(chain), 5u);
    EXPECT_EQ(chain.size(), referenceBit(0) + 3);
    uint8_t index = 0;
    EXPECT_EQ(model.getChannelReferenceIndex(0, index), 0u);
    EXPECT_EQ(index, 7);
    // A channel without any flag reads as index 0 and leaves `index` alone.
    Chain none = chainOf(BaseConfiguration(&freshId));
    none[referenceBit(5)] = false;
    ASSERT_EQ(model.getBaseConfigFromChain(none), 0u);
    index = 42;
    EXPECT_EQ(model.getChannelReferenceIndex(5, index), 0u);
    EXPECT_EQ(index, 42);
    EXPECT_EQ(model.getAllChannelReferenceIndices()[5], 0);
    EXPECT_EQ(model.getChannelReferenceIndex(384, index), 2u);
}

TEST(BaseChain, SettersCheckIndexThenValueAndChangeNothingOnRefusal) {
    using Set = std::function<unsigned int(BaseConfiguration&)>;
    const struct {
        int type;
        unsigned int code;
        Set set;
    } rows[] = {
        {2, 1, [](auto& m) { return m.setAdcCompP(32, 0); }},
        {2, 3, [](auto& m) { return m.setAdcCompP(31, 32); }},
        {2, 1, [](auto& m) { return m.setAdcCompN(32, 32); }},
        {2, 3, [](auto& m) { return m.setAdcCompN(0, 32); }},
        {2, 1, [](auto& m) { return m.setAdcPairSlope(16, 0); }},
        {2, 3, [](auto& m) { return m.setAdcPairSlope(15, 8); }},
        {2, 3, [](auto& m) { return m.setAdcPairFine(15, 4); }},
        {2, 1, [](auto& m) { return m.setAdcPairCoarse(16, 4); }},
        {2, 3, [](auto& m) { return m.setAdcPairCoarse(15, 4); }},
        {2, 1, [](auto& m) { return m.setAdcPairCfix(16, 0); }},
        {2, 3, [](auto& m) { return m.setAdcPairCfix(15, 16); }},
        {2, 3, [](auto& m) { return m.setAdcPairSlope(0, 0, 4, 0); }},
        {2, 3, [](auto& m) { return m.setAdcPairSlope(0, 0, 0, 4); }},
        {2, 2, [](auto& m) { return m.setChannelSettingApGain(384, 0); }},
        {2, 3, [](auto& m) { return m.setChannelSettingApGain(383, 8); }},
        {2, 3, [](auto& m) { return m.setChannelSettingLfpGain(383, 8); }},
        {2, 2, [](auto& m) { return m.setChannelSettingStandby(384, true); }},
        {2, 3, [](auto& m) { return m.setAllAPGains(8); }},
        {2, 3, [](auto& m) { return m.setAllLFPGains(8); }},
        {2, 2, [](auto& m) { return m.setChannelReferenceIndex(384, 0); }},
        {2, 3, [](auto& m) { return m.setChannelReferenceIndex(383, 11); }},
        {3, 2, [](auto& m) { return m.setChannelReferenceIndex(276, 0); }},
        {2, 3, [](auto& m) { return m.setAllReferences(11); }},
        {3, 3, [](auto& m) { return m.setAllReferences(8); }}, // type 3 has 8 references
        {2, 3, [](auto& m) { return m.setAdditionalSettingBwHp(2); }},
        {2, 3, [](auto& m) { return m.setAdditionalSettingBwHp(4); }},
        {2, 1, [](auto& m) { return m.setAdcComp(std::vector<adcComp>(31)); }},
        {2, 1, [](auto& m) { return m.setAdcPair(std::vector<adcPairCommon>(17)); }},
        {2, 2, [](auto& m) { return m.setChannelSettings(std::vector<ChanSetxx>(276)); }},
        {3, 2, [](auto& m) { return m.setChannelSettings(std::vector<ChanSetxx>(384)); }},
        {2, 2, [](auto& m) { return m.setAllChannelReferenceIndices(std::vector<uint8_t>(276)); }},
        {3, 2, [](auto& m) { return m.setAllChannelReferenceIndices(std::vector<uint8_t>(384)); }},
    };
    for (std::size_t r = 0; r < std::size(rows); ++r) {
        AsicID id{0, static_cast<int8_t>(rows[r].type)};
        BaseConfiguration model(&id);
        const Chain before = chainOf(model);
        EXPECT_EQ(rows[r].set(model), rows[r].code) << "row " << r;
        EXPECT_EQ(chainOf(model), before) << "row " << r;
    }
    // The largest valid values are taken.
    AsicID id{0, 3};
    BaseConfiguration model(&id);
    EXPECT_EQ(model.setAdcCompP(31, 31) + model.setAdcPairSlope(15, 7, 3, 3) +
                  model.setAdcPairCfix(15, 15) + model.setAdcPairSlope(15, 7) +
                  model.setAdcPairFine(15, 3) + model.setAdcPairCoarse(15, 3) +
                  model.setChannelSettingApGain(383, 7) + model.setChannelReferenceIndex(275, 10) +
                  model.setAllReferences(7) +
                  model.setChannelSettings(std::vector<ChanSetxx>(276, ChanSetxx{4, 5, true})),
              0u);
    EXPECT_EQ(model.getChannelSettings()[276].apGain, 1) << "type 3 sets channels 0 to 275";
}

TEST(BaseChain, VectorSettersKeepWhatTheyCopiedBeforeTheFailingField) {
    AsicID id{0, 2};
    BaseConfiguration model(&id);
    std::vector<adcComp> comps(32, adcComp{3, 4});
    comps[5].compN = 32;
    EXPECT_EQ(model.setAdcComp(comps), 3u);
    auto gotComps = model.getAdcCalibrationComp();
    EXPECT_EQ(gotComps[4].compN, 4);
    EXPECT_EQ(gotComps[5].compP, 3);
    EXPECT_EQ(gotComps[5].compN, 21);

    std::vector<adcPairCommon> pairs(16, adcPairCommon{7, 3, 2, 9});
    pairs[4].cfix = 16;
    EXPECT_EQ(model.setAdcPair(pairs), 3u);
    auto gotPairs = model.getAdcCalibrationCommon();
    EXPECT_EQ(gotPairs[4].slope, 7);
    EXPECT_EQ(gotPairs[4].cfix, 0);
    EXPECT_EQ(gotPairs[5].slope, 0);

    std::vector<ChanSetxx> settings(384, ChanSetxx{4, 5, true});
    settings[10].lfpGain = 8;
    EXPECT_EQ(model.setChannelSettings(settings), 3u);
    const auto got = model.getChannelSettings();
    EXPECT_EQ(got[9].lfpGain, 5);
    EXPECT_EQ(got[10].apGain, 4);
    EXPECT_EQ(got[10].lfpGain, 1);
    EXPECT_FALSE(got[11].standby);

    std::vector<uint8_t> indices(384, 6);
    indices[100] = 11;
    EXPECT_EQ(model.setAllChannelReferenceIndices(indices), 3u);
    EXPECT_EQ(model.getAllChannelReferenceIndices()[99], 6);
    EXPECT_EQ(model.getAllChannelReferenceIndices()[100], 0);
}

// Shank geometry of the two probe types that have a shank.
struct Shank {
    int8_t type;
    unsigned int channels, electrodes, bits;
};
const Shank shanks[] = {{2, 384, 960, 962}, {3, 276, 966, 968}};

// Odd electrode e at bit (bits - 1 - e) / 2, even electrode e at bits / 2 + e / 2;
// the even reference at bit 0, the odd one at the last bit.
Chain shankChain(const Shank& s, const std::set<unsigned int>& electrodes, bool even, bool odd) {
    Chain chain(s.bits, false);
    chain.front() = even;
    chain.back() = odd;
    for (unsigned int e : electrodes)
        chain[e % 2 ? (s.bits - 1 - e) / 2 : s.bits / 2 + e / 2] = true;
    return chain;
}

std::vector<uint8_t> connectionsOf(const ShankConfiguration& model) {
    std::vector<uint8_t> connections;
    model.getElectrodeConnections(connections);
    return connections;
}

TEST(ShankChain, RandomConnectionsEncodeAtTheirPositionsAndDecodeBack) {
    std::mt19937 rng(1234);
    for (const Shank& s : shanks) {
        AsicID id{0, s.type};
        EXPECT_EQ(chainOf(ShankConfiguration(&id)), shankChain(s, {}, true, true));
        for (int round = 0; round < 20; ++round) {
            ShankConfiguration source(&id);
            std::set<unsigned int> electrodes;
            for (unsigned int c = 0; c < s.channels; ++c) {
                const unsigned int banks = (s.electrodes - 1 - c) / s.channels + 1;
                const unsigned int bank = rng() % (banks + 1);
                if (bank == banks) continue; // left unconnected
                ASSERT_EQ(source.setElectrodeConnection(c, static_cast<uint8_t>(bank)), 0u);
                electrodes.insert(bank * s.channels + c);
            }
            const bool even = rng() % 2, odd = rng() % 2;
            source.setEvenReference(even);
            source.setOddReference(odd);
            Chain chain = chainOf(source);
            ASSERT_EQ(chain, shankChain(s, electrodes, even, odd)) << int(s.type);

            ShankConfiguration target(&id);
            for (unsigned int c = 0; c < s.channels; ++c)
                ASSERT_EQ(target.setElectrodeConnection(c, 1), 0u);
            ASSERT_EQ(target.getShankConfigFromChain(chain), 0u);
            EXPECT_TRUE(chain.empty());
            ASSERT_EQ(connectionsOf(target), connectionsOf(source));
            ASSERT_EQ(target.getEvenReference(), even);
            ASSERT_EQ(target.getOddReference(), odd);
        }
    }
}

TEST(ShankChain, RangesAndRefusals) {
    const struct {
        int type;
        unsigned int code;
        std::function<unsigned int(ShankConfiguration&)> act;
    } rows[] = {
        {2, 0, [](auto& m) { return m.setElectrodeConnection(191, 2); }}, // electrode 959
        {2, 3, [](auto& m) { return m.setElectrodeConnection(192, 2); }}, // electrode 960
        {2, 2, [](auto& m) { return m.setElectrodeConnection(384, 0); }},
        {2, 0, [](auto& m) { return m.setElectrodeConnection(5, 255); }},
        {2, 3, [](auto& m) { return m.enableElectrode(960); }},
        {3, 0, [](auto& m) { return m.setElectrodeConnection(137, 3); }}, // electrode 965
        {3, 3, [](auto& m) { return m.setElectrodeConnection(138, 3); }}, // electrode 966
        {3, 2, [](auto& m) { return m.setElectrodeConnection(276, 0); }},
        {0, 1, [](auto& m) { return m.setElectrodeConnection(5, 0); }},
        {1, 1, [](auto& m) { return m.enableElectrode(5); }},
        {1, 1, [](auto& m) { return m.disableAllInternalReferences(); }},
        {0, 1,
         [](auto& m) {
             Chain c(962, true);
             return m.getChain(c) + 10 * !c.empty();
         }},
        {1, 1,
         [](auto& m) {
             Chain c(962);
             return m.getShankConfigFromChain(c);
         }},
        {2, 5,
         [](auto& m) {
             Chain c(961);
             return m.getShankConfigFromChain(c);
         }},
        {3, 5,
         [](auto& m) {
             Chain c;
             return m.getShankConfigFromChain(c);
         }},
    };
    for (std::size_t r = 0; r < std::size(rows); ++r) {
        AsicID id{0, static_cast<int8_t>(rows[r].type)};
        ShankConfiguration model(&id);
        EXPECT_EQ(rows[r].act(model), rows[r].code) << "row " << r;
    }
    // A connection beyond the shank of the type now set fails the encode.
    AsicID id{0, 3};
    ShankConfiguration model(&id);
    ASSERT_EQ(model.setElectrodeConnection(137, 3), 0u);
    id.probeType = 2;
    Chain chain(5, true);
    EXPECT_EQ(model.getChain(chain), 3u);
    EXPECT_TRUE(chain.empty());
}

TEST(ShankChain, DoubleConnectionsDecodeToTheLowestBankWithCode4) {
    const Shank& s = shanks[0];
    AsicID id{0, s.type};
    ShankConfiguration model(&id);
    Chain chain = shankChain(s, {10, 10 + 384, 11 + 384, 11 + 768, 500}, false, true);
    EXPECT_EQ(model.getShankConfigFromChain(chain), 4u);
    const auto connections = connectionsOf(model);
    EXPECT_EQ(connections[10], 0);
    EXPECT_EQ(connections[11], 1);
    EXPECT_EQ(connections[500 - 384], 1) << "channels after the double connection decode";
    EXPECT_FALSE(model.getEvenReference());
}

TEST(ShankChain, InternalReferenceChannelsAreDisconnected) {
    AsicID id{0, 2};
    ShankConfiguration model(&id);
    for (unsigned int c = 0; c < 384; ++c)
        ASSERT_EQ(model.enableElectrode(c), 0u);
    EXPECT_EQ(model.disableAllInternalReferences(), 0u);
    const std::set<unsigned int> internal{36, 75, 112, 151, 188, 227, 264, 303, 340, 379};
    const auto connections = connectionsOf(model);
    for (unsigned int c = 0; c < 384; ++c)
        EXPECT_EQ(connections[c], internal.count(c) ? 255 : 0) << c;
}

TEST(TestChain, EachSettingHasItsOwnChainBitAndWrongLengthsAreIgnored) {
    TestConfiguration t;
    bool* settings[18] = {&t.settings0to1[0],   &t.settings0to1[1],   &t.setting2,
                          &t.settings3to4[0],   &t.settings3to4[1],   &t.setting5,
                          &t.setting6,          &t.setting7,          &t.settings8to11[0],
                          &t.settings8to11[1],  &t.settings8to11[2],  &t.settings8to11[3],
                          &t.settings12to15[0], &t.settings12to15[1], &t.settings12to15[2],
                          &t.settings12to15[3], &t.settings16to17[0], &t.settings16to17[1]};
    const unsigned int bitOf[18] = {0, 1, 2, 4, 3, 5, 6, 7, 11, 10, 9, 8, 15, 14, 13, 12, 17, 16};
    for (unsigned int n = 0; n < 18; ++n) {
        t.reset();
        *settings[n] = true;
        Chain chain = chainOf(t);
        Chain expected(18, false);
        expected[bitOf[n]] = true;
        EXPECT_EQ(chain, expected) << "setting " << n;
        t.reset();
        t.getTestConfigFromChain(chain);
        EXPECT_TRUE(chain.empty());
        for (unsigned int m = 0; m < 18; ++m)
            EXPECT_EQ(*settings[m], m == n) << n << " " << m;
    }
    for (unsigned int length : {17u, 19u}) {
        Chain chain(length, true);
        t.getTestConfigFromChain(chain);
        EXPECT_EQ(chain.size(), length);
        EXPECT_FALSE(t.setting2);
    }
}

} // namespace
