#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"

namespace {

using Block = StreamBuilder::ElectrodeBlock;
using Record = StreamBuilder::AdcRecord;

float volts(uint32_t code) {
    return static_cast<float>(code) * 0.0011730206f;
}

// LFP code v of block b belongs to channel 24 * (v div 2) + 2 * b + (v mod 2).
unsigned int lfpChannel(unsigned int b, unsigned int v) {
    return 24 * (v / 2) + 2 * b + v % 2;
}

// Plays a built stream back through the facade in electrode data mode.
class Playback : public ::testing::Test {
protected:
    void open(const StreamBuilder& stream, bool electrodeMode = true) {
        stream.writeFile("stream.bin");
        ASSERT_EQ(api.tolmaren_open("stream.bin"), 0u);
        api.setElectrodeMode(electrodeMode);
    }

    // Every field of the packet is what the blocks of pattern packet p carry.
    static void expectPatternPacket(const ElectrodePacket& packet, unsigned int p) {
        for (unsigned int b = 0; b < 12; ++b) {
            const Block block = StreamBuilder::patternBlock(p, b);
            SCOPED_TRACE("packet " + std::to_string(p) + " block " + std::to_string(b));
            EXPECT_EQ(packet.startTrigger[b], block.startTrigger);
            EXPECT_EQ(packet.synchronization[b], block.synchronization);
            for (unsigned int k = 0; k < 13; ++k)
                EXPECT_EQ(packet.ctrs[b][k], block.counters[k]);
            for (unsigned int v = 0; v < 32; ++v)
                EXPECT_EQ(packet.lfpData[lfpChannel(b, v)], volts(block.lfp[v]));
            for (unsigned int c = 0; c < 384; ++c)
                ASSERT_EQ(packet.apData[b][c], volts(block.ap[c])) << "channel " << c;
        }
    }

    static void expectPatternAdcPacket(const AdcPacket& packet, unsigned int p) {
        for (unsigned int r = 0; r < 13; ++r) {
            const Record record = StreamBuilder::patternRecord(13 * p + r);
            EXPECT_EQ(packet.records[r].ctr, record.counter);
            for (unsigned int a = 0; a < 32; ++a)
                ASSERT_EQ(packet.records[r].adcData[a], volts(record.adc[a])) << "record " << r;
        }
    }

    // Reads past the rest of a packet whose block `failed` failed: each later
    // block has an index other than 0 and costs one failed read, then
    // pattern packet `next` reads whole.
    void expectResumeAfterBlock(unsigned int failed, unsigned int next) {
        ElectrodePacket packet;
        for (unsigned int b = failed + 1; b < 12; ++b)
            ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 4u) << "block " << b;
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
        expectPatternPacket(packet, next);
    }

    ScopedWorkDir dir;
    DataTestApi api;
};

TEST_F(Playback, ElectrodePacketsDecodeEveryFieldUntilTheStreamEnds) {
    StreamBuilder stream;
    stream.electrodePackets(3);
    // A truncated fourth packet: its first block is whole, its second is not.
    stream.electrodeBlock(StreamBuilder::patternBlock(3, 0));
    stream.data().resize(stream.data().size() + 300);
    open(stream);

    ElectrodePacket packet;
    for (unsigned int p = 0; p < 3; ++p) {
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
        expectPatternPacket(packet, p);
    }
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
    EXPECT_EQ(packet.synchronization[0], StreamBuilder::patternBlock(3, 0).synchronization);
    EXPECT_EQ(packet.synchronization[1], StreamBuilder::patternBlock(2, 1).synchronization);
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
}

TEST_F(Playback, AdcPacketsDecodeEveryFieldUntilTheStreamEnds) {
    StreamBuilder stream;
    stream.adcPackets(3);
    stream.data().resize(stream.data().size() + 623);
    open(stream, false);

    AdcPacket packet;
    for (unsigned int p = 0; p < 3; ++p) {
        ASSERT_EQ(api.tolmaren_readADCData(packet), 0u);
        expectPatternAdcPacket(packet, p);
    }
    EXPECT_EQ(api.tolmaren_readADCData(packet), 3u);
}

TEST(SampleScale, CodesBecomeVoltsInSinglePrecision) {
    DataTestApi api;
    const float factor = api.tolmaren_getScaleFactorToVoltage();
    uint32_t bits;
    std::memcpy(&bits, &factor, sizeof bits);
    EXPECT_EQ(bits, 0x3A99C00Au);
    EXPECT_EQ(factor, 0.0011730206f);
}

TEST_F(Playback, ExtremeCodesAndLfpChannelExamples) {
    Block first; // block 0: LFP code 0 is 1023, code 2 is 512, the rest 0
    first.lfp[0] = 1023;
    first.lfp[2] = 512;
    first.ap[0] = 1023;
    first.ap[383] = 1;
    StreamBuilder stream;
    stream.electrodeBlock(first);
    for (unsigned int b = 1; b < 12; ++b) {
        Block block;
        block.index = b;
        if (b == 11) block.lfp[31] = 700;
        stream.electrodeBlock(block);
    }
    open(stream);

    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(packet.lfpData[0], 1.2000000476837158f);
    EXPECT_EQ(static_cast<double>(packet.lfpData[0]), 1.2000000476837158);
    EXPECT_EQ(packet.lfpData[24], volts(512));
    EXPECT_EQ(packet.lfpData[383], volts(700));
    EXPECT_EQ(packet.apData[0][0], 1.2000000476837158f);
    EXPECT_EQ(packet.apData[0][383], 0.0011730206f);
    for (unsigned int c = 0; c < 384; ++c)
        if (c != 0 && c != 24 && c != 383) ASSERT_EQ(packet.lfpData[c], 0.0f) << "channel " << c;
}

TEST_F(Playback, LfpCodesOfAPacketCoverEveryChannelOnce) {
    // Code b * 32 + v at LFP place v of block b: each of 0..383 once.
    StreamBuilder stream;
    for (unsigned int b = 0; b < 12; ++b) {
        Block block;
        block.index = b;
        for (unsigned int v = 0; v < 32; ++v)
            block.lfp[v] = static_cast<uint16_t>(b * 32 + v);
        stream.electrodeBlock(block);
    }
    open(stream);

    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    std::set<float> seen(std::begin(packet.lfpData), std::end(packet.lfpData));
    EXPECT_EQ(seen.size(), 384u);
    // Block 1 carries channels 2 and 3 of each group of 24.
    EXPECT_EQ(packet.lfpData[2], volts(32));
    EXPECT_EQ(packet.lfpData[3], volts(33));
    EXPECT_EQ(packet.lfpData[26], volts(34));
}

TEST_F(Playback, PaddingCodesAreNeverStored) {
    // All codes 0 except the paddings; the 11th word's third code would land
    // beyond the 32 LFP places or the 32 ADCs of a record.
    StreamBuilder electrode;
    for (unsigned int b = 0; b < 12; ++b) {
        Block block;
        block.index = b;
        block.counters[0] = 100 + b;
        block.lfpPadding = 1023;
        electrode.electrodeBlock(block);
    }
    open(electrode);
    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    for (unsigned int c = 0; c < 384; ++c)
        ASSERT_EQ(packet.lfpData[c], 0.0f) << "channel " << c;
    for (unsigned int b = 0; b < 12; ++b)
        EXPECT_EQ(packet.ctrs[b][0], 100 + b);
    api.tolmaren_close();

    StreamBuilder adc;
    for (unsigned int r = 0; r < 13; ++r) {
        Record record;
        record.counter = 0x123400 + r;
        record.padding = 1023;
        adc.adcRecord(record);
    }
    open(adc, false);
    AdcPacket adcPacket;
    ASSERT_EQ(api.tolmaren_readADCData(adcPacket), 0u);
    for (unsigned int r = 0; r < 13; ++r) {
        EXPECT_EQ(adcPacket.records[r].ctr, 0x123400 + r);
        for (unsigned int a = 0; a < 32; ++a)
            ASSERT_EQ(adcPacket.records[r].adcData[a], 0.0f) << "record " << r << " adc " << a;
    }
}

// One corruption of an electrode block: `flip` toggles bits of the byte at
// `offset` (markers, bit 29 of a counter word, a bit of the block index).
struct BlockFault {
    const char* name;
    unsigned int offset;
    unsigned char flip;
};

void PrintTo(const BlockFault& fault, std::ostream* out) {
    *out << fault.name;
}

class ElectrodeFaults : public Playback, public ::testing::WithParamInterface<BlockFault> {};

TEST_P(ElectrodeFaults, FailWithCode4ConsumingOnlyTheFetchedBlocks) {
    const BlockFault fault = GetParam();
    for (unsigned int failing : {0u, 6u, 11u}) {
        SCOPED_TRACE("failing block " + std::to_string(failing));
        StreamBuilder stream;
        stream.electrodePackets(2);
        stream.data()[failing * StreamBuilder::electrodeBlockSize + fault.offset] ^= fault.flip;
        open(stream);

        ElectrodePacket packet;
        EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u);
        expectResumeAfterBlock(failing, 1);
        api.tolmaren_close();
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryCheck, ElectrodeFaults,
    ::testing::Values(
        BlockFault{"HeaderMarker11", 0, 0x80}, BlockFault{"HeaderMarker00", 0, 0x40},
        BlockFault{"HeaderIndex", 1, 0x02}, BlockFault{"Counter0Marker10", 4, 0x40},
        BlockFault{"Counter0Marker01", 4, 0x80}, BlockFault{"Counter0Bit29", 4, 0x20},
        BlockFault{"Counter6Marker01", 72, 0x80}, BlockFault{"FirstLfpWordBit31", 8, 0x80},
        BlockFault{"FirstLfpWordBit30", 8, 0x40}, BlockFault{"LastLfpWordBit30", 48, 0x40},
        BlockFault{"Counter1Bit29", 52, 0x20}, BlockFault{"Counter12Bit29", 96, 0x20},
        BlockFault{"FirstApWordBit31", 100, 0x80}, BlockFault{"MiddleApWordBit30", 356, 0x40},
        BlockFault{"LastApWordBit31", 608, 0x80}),
    [](const ::testing::TestParamInfo<BlockFault>& info) { return std::string(info.param.name); });

TEST_F(Playback, BlockIndexOutOfPlaceFailsAfterOneBlock) {
    // The spec's example: index 5 in place 0.
    StreamBuilder stream;
    Block misplaced = StreamBuilder::patternBlock(0, 5);
    stream.electrodeBlock(misplaced);
    stream.electrodePackets(1, 1);
    open(stream);

    ElectrodePacket packet;
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u);
    // Synchronization and start trigger of the failing block are kept.
    EXPECT_EQ(packet.synchronization[0], misplaced.synchronization);
    EXPECT_EQ(packet.startTrigger[0], misplaced.startTrigger);
    EXPECT_EQ(packet.ctrs[0][0], 0u);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    expectPatternPacket(packet, 1);
}

TEST_F(Playback, UnusedBitsMayHoldAnything) {
    StreamBuilder stream;
    for (unsigned int b = 0; b < 12; ++b) {
        Block block = StreamBuilder::patternBlock(0, b);
        block.headerUnused = 0x1FF;
        block.counterUnused = 0x1F;
        stream.electrodeBlock(block);
    }
    for (unsigned int r = 0; r < 13; ++r) {
        Record record = StreamBuilder::patternRecord(r);
        record.counterUnused = 0x1F;
        stream.adcRecord(record);
    }
    open(stream);

    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    expectPatternPacket(packet, 0);
    api.setElectrodeMode(false);
    AdcPacket adc;
    ASSERT_EQ(api.tolmaren_readADCData(adc), 0u);
    expectPatternAdcPacket(adc, 0);
}

TEST_F(Playback, FailedBlockKeepsWhatWasDecodedBeforeTheFault) {
    StreamBuilder stream;
    stream.electrodePackets(2);
    // AP word 100 of block 4 (channels 300 to 302) carries a marker bit.
    stream.data()[4 * 612 + StreamBuilder::apOffset + 4 * 100] |= 0x80;
    open(stream);

    ElectrodePacket packet;
    for (auto& block : packet.apData)
        for (float& sample : block)
            sample = -1.0f;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 4u);
    const Block faulty = StreamBuilder::patternBlock(0, 4);
    for (unsigned int c = 0; c < 384; ++c)
        ASSERT_EQ(packet.apData[4][c], c < 300 ? volts(faulty.ap[c]) : -1.0f) << "channel " << c;
    EXPECT_EQ(packet.ctrs[4][12], faulty.counters[12]);
    EXPECT_EQ(packet.apData[3][383], volts(StreamBuilder::patternBlock(0, 3).ap[383]));
    EXPECT_EQ(packet.apData[5][0], -1.0f);
    expectResumeAfterBlock(4, 1);
}

TEST_F(Playback, FailedCounterKeepsTheCountersAndLfpBeforeIt) {
    StreamBuilder stream;
    stream.electrodePackets(1);
    // Counter word 7 of block 4 has bit 29 set.
    stream.data()[4 * 612 + StreamBuilder::countersOffset + 4 * 6] |= 0x20;
    open(stream);

    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 4u);
    const Block faulty = StreamBuilder::patternBlock(0, 4);
    for (unsigned int k = 0; k < 13; ++k)
        EXPECT_EQ(packet.ctrs[4][k], k < 7 ? faulty.counters[k] : 0u) << "counter " << k;
    for (unsigned int v = 0; v < 32; ++v)
        EXPECT_EQ(packet.lfpData[lfpChannel(4, v)], volts(faulty.lfp[v]));
    EXPECT_EQ(packet.lfpData[lfpChannel(5, 0)], 0.0f);
    EXPECT_EQ(packet.apData[4][0], 0.0f);
}

TEST_F(Playback, AdcFaultsFailWithCode4AndConsumeTheWholePacket) {
    const struct {
        unsigned int offset; // within the 624-byte packet
        unsigned char set;
        unsigned char clear;
        unsigned int failingRecord;
        unsigned int storedAdcs; // ADCs of the failing record decoded before the fault
        bool counterStored;      // the failing record's counter passed
    } faults[] = {
        {0, 0x20, 0, 0, 0, false},            // counter of record 0: bit 29
        {0, 0, 0x40, 0, 0, false},            // counter of record 0: marker 10
        {48 * 5, 0, 0x80, 5, 0, false},       // counter of record 5: marker 01
        {48 * 7 + 4, 0x80, 0, 7, 0, true},    // first data word of record 7
        {48 * 12 + 44, 0x40, 0, 12, 30, true} // 11th data word of the last record
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE("offset " + std::to_string(fault.offset));
        StreamBuilder stream;
        stream.adcPackets(2);
        stream.data()[fault.offset] =
            static_cast<unsigned char>((stream.data()[fault.offset] | fault.set) & ~fault.clear);
        open(stream, false);

        AdcPacket packet;
        ASSERT_EQ(api.tolmaren_readADCData(packet), 4u);
        for (unsigned int r = 0; r < 13; ++r) {
            const Record record = StreamBuilder::patternRecord(r);
            const bool counter =
                r < fault.failingRecord || (r == fault.failingRecord && fault.counterStored);
            const unsigned int adcs = r < fault.failingRecord    ? 32
                                      : r == fault.failingRecord ? fault.storedAdcs
                                                                 : 0;
            EXPECT_EQ(packet.records[r].ctr, counter ? record.counter : 0u) << "record " << r;
            for (unsigned int a = 0; a < 32; ++a)
                ASSERT_EQ(packet.records[r].adcData[a], a < adcs ? volts(record.adc[a]) : 0.0f)
                    << "record " << r << " adc " << a;
        }
        // The failed read took the whole packet; the next one is whole.
        ASSERT_EQ(api.tolmaren_readADCData(packet), 0u);
        expectPatternAdcPacket(packet, 1);
        api.tolmaren_close();
    }
}

TEST_F(Playback, DataModeMustMatchThePacketForm) {
    StreamBuilder stream;
    stream.electrodePackets(1);
    open(stream, false);

    ElectrodePacket packet;
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 2u);
    api.setElectrodeMode(true);
    AdcPacket adc;
    EXPECT_EQ(api.tolmaren_readADCData(adc), 2u);
    // Neither refused read consumed anything.
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    expectPatternPacket(packet, 0);
}

TEST(Readout, EveryReadNeedsBothLinks) {
    DataTestApi api;
    api.setElectrodeMode(true);
    ElectrodePacket packet;
    AdcPacket adc;
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 1u);
    EXPECT_EQ(api.tolmaren_readADCData(adc), 1u);
    EXPECT_EQ(api.tolmaren_flushData(), 1u);
    EXPECT_EQ(api.skipElectrodeData(3), 1u);
    EXPECT_EQ(api.skipAdcData(0), 0u);
    EXPECT_TRUE(api.tolmaren_readUnprocessed(10).empty());
}

TEST_F(Playback, SkipsReadWholePacketsAndStopAtTheFirstFailure) {
    StreamBuilder stream;
    stream.electrodePackets(4);
    stream.data()[(2 * 12 + 3) * 612 + StreamBuilder::apOffset] |= 0x40; // packet 2, block 3
    open(stream);

    EXPECT_EQ(api.skipElectrodeData(0), 0u);
    EXPECT_EQ(api.skipElectrodeData(1), 0u);
    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    expectPatternPacket(packet, 1);
    EXPECT_EQ(api.skipElectrodeData(5), 4u);
    expectResumeAfterBlock(3, 3);
    EXPECT_EQ(api.skipElectrodeData(1), 3u);
}

TEST_F(Playback, AdcSkipsReadWholePackets) {
    StreamBuilder stream;
    stream.adcPackets(3);
    open(stream, false);

    EXPECT_EQ(api.skipAdcData(0), 0u);
    EXPECT_EQ(api.skipAdcData(2), 0u);
    AdcPacket packet;
    ASSERT_EQ(api.tolmaren_readADCData(packet), 0u);
    expectPatternAdcPacket(packet, 2);
    EXPECT_EQ(api.skipAdcData(1), 3u);
}

// Counts the reads that the skips make through the virtual table.
class CountingApi : public DataTestApi {
public:
    unsigned int tolmaren_readElectrodeData(ElectrodePacket&) override {
        return ++electrodeReads == 3 ? 9 : 0;
    }
    unsigned int tolmaren_readADCData(AdcPacket&) override {
        ++adcReads;
        return 0;
    }
    unsigned int electrodeReads = 0;
    unsigned int adcReads = 0;
};

TEST(Readout, SkipsCallTheReadsThroughTheVirtualTable) {
    CountingApi api;
    EXPECT_EQ(api.skipAdcData(7), 0u);
    EXPECT_EQ(api.adcReads, 7u);
    EXPECT_EQ(api.skipElectrodeData(10), 9u);
    EXPECT_EQ(api.electrodeReads, 3u);
}

TEST_F(Playback, FlushLeavesThePlaybackPositionAlone) {
    StreamBuilder stream;
    stream.electrodePackets(1);
    open(stream);

    EXPECT_EQ(api.tolmaren_flushData(), 0u);
    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    expectPatternPacket(packet, 0);
}

TEST_F(Playback, UnprocessedBytesComeInStreamOrder) {
    StreamBuilder stream;
    stream.electrodePackets(3);
    open(stream);

    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    const ConnectionLinkPacket raw =
        api.tolmaren_readUnprocessed(StreamBuilder::electrodePacketSize);
    ASSERT_EQ(raw.size(), StreamBuilder::electrodePacketSize);
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(),
                           stream.data().begin() + StreamBuilder::electrodePacketSize));
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    expectPatternPacket(packet, 2);
    EXPECT_TRUE(api.tolmaren_readUnprocessed(1).empty());
}

} // namespace
