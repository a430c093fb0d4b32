// Decoding of the neural data stream through the facade, on streams built in
// the wire layout and played back from a file.
#include <gtest/gtest.h>

#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"

namespace {

using S = StreamBuilder;

class Readout : public ::testing::Test {
protected:
    void play(const StreamBuilder& stream, bool electrodeMode) {
        api.tolmaren_close();
        stream.writeFile("stream.bin");
        ASSERT_EQ(api.tolmaren_open("stream.bin"), 0u);
        api.setElectrodeMode(electrodeMode);
    }

    ScopedWorkDir dir;
    DataTestApi api;
    ElectrodePacket packet;
    AdcPacket adc;
};

TEST_F(Readout, StatusCodesOfTheReadsSkipsAndDrain) {
    EXPECT_EQ(api.tolmaren_getScaleFactorToVoltage(), 0.0011730206f);

    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 1u);
    EXPECT_EQ(api.tolmaren_readADCData(adc), 1u);
    EXPECT_EQ(api.tolmaren_flushData(), 1u);
    EXPECT_TRUE(api.tolmaren_readUnprocessed(4).empty());

    // Packets 0 to 3, a fault in block 3 of packet 2, then one block of
    // packet 4 and part of the next.
    S stream;
    stream.electrodePackets(5);
    stream.data()[(2 * 12 + 3) * 612 + 100] ^= 0x80;
    stream.data().resize(4 * S::electrodePacketSize + 612 + 300);
    play(stream, false);

    // None of these consumes anything.
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 2u);
    api.setElectrodeMode(true);
    EXPECT_EQ(api.tolmaren_readADCData(adc), 2u);
    EXPECT_EQ(api.skipElectrodeData(0), 0u);
    EXPECT_EQ(api.tolmaren_flushData(), 0u);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_TRUE(isPatternPacket(packet, 0));

    // The skip stops at the fault; the 8 blocks after it fail on their index.
    EXPECT_EQ(api.skipElectrodeData(5), 4u);
    for (unsigned int b = 4; b < 12; ++b)
        EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u) << "block " << b;
    EXPECT_EQ(api.skipElectrodeData(1), 0u);
    // The stream ends in block 1 of packet 4: block 0 is decoded, block 1
    // keeps what the last whole read (packet 0) put there.
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
    EXPECT_EQ(packet.ctrs[0][0], S::counter(48, 0));
    EXPECT_EQ(packet.ctrs[1][0], S::counter(1, 0));
}

// A bit flipped at a byte of one unit: markers 11 and 00 of the header, its
// index (5 in place 0), markers 10 and 01 and bit 29 of counter words, markers
// of data words.
struct Fault {
    unsigned int unit, offset;
    unsigned char flip;
};

TEST_F(Readout, AFailedCheckGivesCode4KeepsWhatCameBeforeAndTheNextPacketReadsWhole) {
    const Fault faults[] = {{0, 1, 0x0A},    {0, 0, 0x80},   {3, 0, 0x40},  {6, 4, 0x40},
                            {11, 4, 0x80},   {1, 4, 0x20},   {2, 8, 0x80},  {5, 48, 0x40},
                            {4, 52, 0x20},   {7, 72, 0x80},  {9, 96, 0x40}, {8, 100, 0x80},
                            {10, 356, 0x40}, {11, 608, 0x80}};
    for (const Fault& fault : faults) {
        const unsigned int b = fault.unit, at = fault.offset;
        SCOPED_TRACE("block " + std::to_string(b) + " byte " + std::to_string(at));
        S stream;
        stream.electrodePackets(2);
        stream.data()[b * 612 + at] ^= fault.flip;
        play(stream, true);
        packet = ElectrodePacket();
        EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u);

        // The words before the faulty one are stored, the rest keep their old
        // values (0); the synchronization value and trigger are always stored.
        EXPECT_EQ(packet.synchronization[b], S::sync(b));
        EXPECT_EQ(packet.startTrigger[b], S::trigger(b));
        EXPECT_TRUE(b == 0 || packet.apData[b - 1][383] == volts(S::ap(b - 1, 383)));
        const unsigned int lfpKept = at < 8 ? 0 : at < 52 ? 3 * ((at - 8) / 4) : 32;
        const unsigned int countersKept = at < 8 ? 0 : at < 52 ? 1 : at < 100 ? (at - 48) / 4 : 13;
        const unsigned int apKept = at < 100 ? 0 : 3 * ((at - 100) / 4);
        for (unsigned int v = 0; v < 32; ++v)
            ASSERT_EQ(packet.lfpData[lfpChannel(b, v)], v < lfpKept ? volts(S::lfp(b, v)) : 0.0f)
                << "lfp " << v;
        for (unsigned int k = 0; k < 13; ++k)
            ASSERT_EQ(packet.ctrs[b][k], k < countersKept ? S::counter(b, k) : 0u)
                << "counter " << k;
        for (unsigned int c = 0; c < 384; ++c)
            ASSERT_EQ(packet.apData[b][c], c < apKept ? volts(S::ap(b, c)) : 0.0f) << "ap " << c;
        for (unsigned int rest = b + 1; rest < 12; ++rest)
            EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u) << "block " << rest;
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
        EXPECT_TRUE(isPatternPacket(packet, 1));
        EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
    }
}

TEST_F(Readout, AFailedAdcCheckConsumesThePacketAndSkipsCountWholePackets) {
    const Fault faults[] = {
        {0, 0, 0x20}, {5, 0, 0x40}, {12, 0, 0x80}, {7, 4, 0x80}, {12, 44, 0x40}};
    for (const Fault& fault : faults) {
        const unsigned int r = fault.unit, at = fault.offset;
        SCOPED_TRACE("record " + std::to_string(r) + " byte " + std::to_string(at));
        S stream;
        stream.adcPackets(4);
        stream.data()[r * 48 + at] ^= fault.flip;
        play(stream, false);
        adc = AdcPacket();
        EXPECT_EQ(api.tolmaren_readADCData(adc), 4u);

        const AdcPacket::Record& record = adc.records[r];
        EXPECT_TRUE(r == 0 || adc.records[r - 1].adcData[31] == volts(S::adc(r - 1, 31)));
        EXPECT_EQ(record.ctr, at == 0 ? 0u : S::adcCounter(r));
        const unsigned int kept = at == 0 ? 0 : 3 * ((at - 4) / 4);
        for (unsigned int a = 0; a < 32; ++a)
            ASSERT_EQ(record.adcData[a], a < kept ? volts(S::adc(r, a)) : 0.0f) << "adc " << a;
        EXPECT_EQ(api.skipAdcData(0), 0u);
        EXPECT_EQ(api.skipAdcData(2), 0u);
        ASSERT_EQ(api.tolmaren_readADCData(adc), 0u);
        EXPECT_TRUE(isPatternPacket(adc, 3));
        EXPECT_EQ(api.skipAdcData(1), 3u);
    }
}

// A packet cut short by lost blocks fails once; the packet whose block 0
// cut it short reads whole, and the counts say what happened.
TEST_F(Readout, APacketCutShortCostsOnlyItself) {
    S stream;
    stream.electrodePackets(3);
    stream.data().erase(stream.data().begin() + 6 * 612, stream.data().begin() + 12 * 612);
    play(stream, true);
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u);
    EXPECT_EQ(packet.synchronization[6], S::sync(12));
    for (unsigned int p = 1; p < 3; ++p) {
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
        EXPECT_TRUE(isPatternPacket(packet, p));
    }
    const StreamCounts& counts = api.tolmaren_getStreamDecoder().counts();
    EXPECT_EQ(counts.packets, 2u);
    EXPECT_EQ(counts.packetsAbandoned, 1u);
    EXPECT_EQ(counts.blocksRejected, 0u);
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 3u);
}

} // namespace
