// The data port end to end: the simulator's stream read with the library's
// data link and decoder through the facade, the configuration changed through
// the facade on the configuration link. The simulator binds the fixed ports
// 1234 and 1235 that the facade connects to; run under the port lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"
#include "data/TolmarenDataConnectionLink.h"
#include "link/FileDescriptor.h"
#include "sim/BasestationSimulator.h"
#include "sim/NeuralSignalModel.h"

using tolmaren_sim::BasestationSimulator;
using tolmaren_sim::DataFaults;
using tolmaren_sim::DataPacing;
using tolmaren_sim::DataSettings;
using tolmaren_sim::HardwareModel;
using tolmaren_sim::NeuralSignalModel;
using tolmaren_sim::SimulatorOptions;
using Clock = std::chrono::steady_clock;

namespace {

constexpr unsigned short dataPort = 1234;
constexpr std::size_t packetBytes = 12 * 612;
constexpr int midCode = 512;

int codeOf(float volts) {
    return static_cast<int>(std::lround(volts / 0.0011730206f));
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The facade opened on the simulator as far as the data side needs: the
// configuration link, the data link on port 1234, electrode data mode.
class LiveApi : public Tolmaren_basestation_api {
public:
    unsigned int connect(int8_t probeType) {
        asicId_.probeType = probeType;
        if (setupConfigLink() != 0) return 1;
        dataLink_ = new TolmarenDataConnectionLink(tolmarenBasestationAddress, dataPort);
        datamode_ = true;
        return 0;
    }
    // A new data connection; the simulator starts a new stream on it.
    void reconnectData() {
        delete dataLink_;
        dataLink_ = nullptr;
        dataLink_ = new TolmarenDataConnectionLink(tolmarenBasestationAddress, dataPort);
    }
    TolmarenConnectionLinkIntf& link() { return *dataLink_; }
};

SimulatorOptions simulatorOptions(DataPacing pacing) {
    SimulatorOptions options;
    options.probeType = 2;
    options.data.pacing = pacing;
    options.data.captureBytes = 8u << 20;
    options.data.loopbackMemoryBytes = 2u << 20; // larger loopbacks go through the file
    return options;
}

class SimulatorData : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        ASSERT_EQ(api.connect(2), 0u);
        ASSERT_EQ(api.tolmaren_mode(3), 0u);
    }

    // count packets that must all decode.
    std::vector<ElectrodePacket> readPackets(unsigned int count) {
        std::vector<ElectrodePacket> packets(count);
        for (unsigned int p = 0; p < count; ++p) {
            const unsigned int status = api.tolmaren_readElectrodeData(packets[p]);
            if (status != 0) {
                ADD_FAILURE() << "packet " << p << " gave " << status;
                packets.resize(p);
                break;
            }
        }
        return packets;
    }

    // Every channel connected to its bank-0 electrode, AP gain code 3, LFP
    // gain code 2, and a fresh stream with that.
    void connectBankZero() {
        for (unsigned int c = 0; c < 384; ++c)
            ASSERT_EQ(api.shankConfiguration.setElectrodeConnection(c, 0), 0u);
        ASSERT_EQ(api.tolmaren_writeShankRegister(true), 0u);
        ASSERT_EQ(api.baseConfiguration.setAllAPGains(3), 0u);
        ASSERT_EQ(api.baseConfiguration.setAllLFPGains(2), 0u);
        ASSERT_EQ(api.tolmaren_writeBaseRegister(true), 0u);
        api.reconnectData();
    }

    NeuralSignalModel::Codes modelCodes(bool corrected) {
        const DataSettings settings =
            sim.inspect([](const HardwareModel& hw) { return DataSettings::capture(hw); });
        NeuralSignalModel::Codes codes;
        NeuralSignalModel(2).render(settings.decodeChannels(), corrected, 0,
                                    NeuralSignalModel::ringPackets, codes);
        return codes;
    }

    BasestationSimulator sim{simulatorOptions(DataPacing::Fast)};
    LiveApi api;
};

} // namespace

TEST_F(SimulatorData, BlocksOnTheWireHaveTheirMarkersIndicesCountersAndReservedBits) {
    // Two packets, undecoded.
    ConnectionLinkPacket raw = api.tolmaren_readUnprocessed(2 * packetBytes);
    ASSERT_EQ(raw.size(), 2 * packetBytes);
    std::vector<uint8_t> bytes(raw.begin(), raw.end());
    auto word = [&](std::size_t at) {
        return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) |
               (uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
    };
    for (unsigned int k = 0; k < 24; ++k) {
        const std::size_t block = k * 612;
        const uint32_t header = word(block);
        EXPECT_EQ(header >> 30, 1u) << "block " << k;
        EXPECT_EQ((header >> 21) & 0x1FF, 0u);   // not used
        EXPECT_EQ((header >> 17) & 0xF, k % 12); // index cycles 0 to 11
        EXPECT_EQ((header >> 16) & 1, 0u);       // no neural start
        EXPECT_EQ(header & 0xFFFF, 1u);          // sync input high in the first half second
        std::vector<std::size_t> counters{block + 4};
        for (unsigned int j = 0; j < 12; ++j)
            counters.push_back(block + 52 + 4 * j);
        for (std::size_t j = 0; j < counters.size(); ++j) {
            const uint32_t counter = word(counters[j]);
            EXPECT_EQ(counter >> 29, 6u) << "block " << k << " counter " << j; // 11, then 0
            EXPECT_EQ((counter >> 24) & 0x1F, 0u);
            EXPECT_EQ(counter & 0xFFFFFF, j == 0 ? k : 12 * k + j - 1);
        }
        for (std::size_t at = block + 8; at < block + 52; at += 4)
            EXPECT_EQ(word(at) >> 30, 0u);
        EXPECT_EQ(word(block + 48) >> 20, 0u); // third code of the 11th LFP word
        for (std::size_t at = block + 100; at < block + 612; at += 4)
            ASSERT_EQ(word(at) >> 30, 0u);
    }
}

TEST_F(SimulatorData, DecodedPacketsCountBlocksAndCarrySyncAndStartTrigger) {
    // 1300 packets: the sync input falls after 15000 blocks (packet 1250).
    const auto packets = readPackets(1300);
    ASSERT_EQ(packets.size(), 1300u);
    for (unsigned int p = 0; p < packets.size(); ++p) {
        for (unsigned int b = 0; b < 12; ++b) {
            const uint32_t block = 12 * p + b;
            ASSERT_EQ(packets[p].ctrs[b][0], block);
            ASSERT_EQ(packets[p].ctrs[b][5], 12 * block + 4);
            ASSERT_EQ(packets[p].synchronization[b], p < 1250 ? 1 : 0) << "packet " << p;
            ASSERT_FALSE(packets[p].startTrigger[b]);
        }
    }
    ASSERT_EQ(api.setNeuralStart(true), 0u);
    api.reconnectData();
    const auto started = readPackets(2);
    ASSERT_EQ(started.size(), 2u);
    for (unsigned int b = 0; b < 12; ++b)
        EXPECT_TRUE(started[1].startTrigger[b]);
}

TEST_F(SimulatorData, ApAndLfpSamplesAreTheModelsCodesOfEachChannel) {
    connectBankZero();
    const auto packets = readPackets(1030); // past the end of the ring
    ASSERT_EQ(packets.size(), 1030u);
    const NeuralSignalModel::Codes codes = modelCodes(true);
    unsigned int spikes = 0;
    for (unsigned int p = 0; p < packets.size(); ++p) {
        const unsigned int ringPacket = p % NeuralSignalModel::ringPackets;
        for (unsigned int c = 0; c < 384; ++c) {
            ASSERT_EQ(codeOf(packets[p].lfpData[c]), codes.lfp[ringPacket * 384 + c])
                << "packet " << p << " channel " << c;
            for (unsigned int b = 0; b < 12; ++b) {
                const int code = codeOf(packets[p].apData[b][c]);
                ASSERT_EQ(code, codes.ap[(ringPacket * 12 + b) * 384 + c]);
                // 60 codes below the middle at gain 500 is about 140 uV: a spike.
                spikes += code < midCode - 60 ? 1 : 0;
            }
        }
    }
    EXPECT_GT(spikes, 0u);
}

TEST_F(SimulatorData, GeneratorPatternReplacesTheProbeDataInBothForms) {
    ASSERT_EQ(api.tolmaren_enableBasestationGenerator(true, 7, 0), 0u);
    api.reconnectData();
    const auto packets = readPackets(30);
    ASSERT_EQ(packets.size(), 30u);
    for (unsigned int p = 0; p < packets.size(); ++p) {
        for (unsigned int c = 0; c < 384; ++c) {
            ASSERT_EQ(codeOf(packets[p].lfpData[c]), static_cast<int>((7 + c + p) % 1024))
                << "packet " << p << " channel " << c;
            for (unsigned int b = 0; b < 12; ++b)
                ASSERT_EQ(codeOf(packets[p].apData[b][c]),
                          static_cast<int>((7 + c + 12 * p + b) % 1024));
        }
    }

    // Exponent 2: the ramp steps every fourth sample; ADC records likewise.
    ASSERT_EQ(api.tolmaren_enableBasestationGenerator(true, 200, 2), 0u);
    ASSERT_EQ(api.tolmaren_datamode(false), 0u);
    api.reconnectData();
    AdcPacket adc;
    for (unsigned int q = 0; q < 40; ++q) {
        ASSERT_EQ(api.tolmaren_readADCData(adc), 0u);
        for (unsigned int r = 0; r < 13; ++r) {
            const unsigned int record = 13 * q + r;
            ASSERT_EQ(adc.records[r].ctr, record);
            for (unsigned int a = 0; a < 32; ++a)
                ASSERT_EQ(codeOf(adc.records[r].adcData[a]),
                          static_cast<int>((200 + a + record / 4) % 1024));
        }
    }
}

TEST_F(SimulatorData, AdcRecordsCarryEachAdcsChannelsUncorrected) {
    connectBankZero();
    // A gain correction of 2 on electrode 40 (channel 40) must not reach the
    // raw ADC output.
    std::vector<unsigned short> table(960, 512);
    table[40] = 1024;
    ASSERT_EQ(api.tolmaren_gainCorrection(table), 0u);
    ASSERT_EQ(api.tolmaren_datamode(false), 0u);
    api.reconnectData();
    const NeuralSignalModel::Codes codes = modelCodes(false);
    AdcPacket adc;
    for (unsigned int q = 0; q < 100; ++q) {
        ASSERT_EQ(api.tolmaren_readADCData(adc), 0u);
        for (unsigned int r = 0; r < 13; ++r) {
            const unsigned int record = 13 * q + r;
            // Slot j of block t: ADC a converts channel a + 32 j.
            const unsigned int block = record / 12;
            const unsigned int slot = record % 12;
            ASSERT_EQ(adc.records[r].ctr, record);
            for (unsigned int a = 0; a < 32; ++a)
                ASSERT_EQ(codeOf(adc.records[r].adcData[a]), codes.ap[block * 384 + a + 32 * slot])
                    << "record " << record << " adc " << a;
        }
    }
}

TEST_F(SimulatorData, StandbyGainCodesAndGainCorrectionShapeEachChannel) {
    connectBankZero();
    const auto before = readPackets(NeuralSignalModel::ringPackets);
    ASSERT_EQ(before.size(), NeuralSignalModel::ringPackets);

    // Channel 10 in standby; channel 20 AP gain code 6 (2000 against 500) and
    // LFP gain code 4 (1000 against 250); electrode 30 corrected by 1.5.
    ASSERT_EQ(api.tolmaren_setStdb(10, true, false), 0u);
    ASSERT_EQ(api.tolmaren_setGain(20, 6, 4, true), 0u);
    std::vector<unsigned short> table(960, 512);
    table[30] = 768;
    ASSERT_EQ(api.tolmaren_gainCorrection(table), 0u);
    api.reconnectData();
    const auto after = readPackets(NeuralSignalModel::ringPackets);
    ASSERT_EQ(after.size(), NeuralSignalModel::ringPackets);

    // The same ring positions, so sample by sample: the new deviation from
    // the middle is the old one times the factor, give or take the rounding
    // of both (half a code each, the old one scaled).
    auto scaled = [](float now, float was, double factor) {
        const double expected = factor * (codeOf(was) - midCode);
        return std::abs((codeOf(now) - midCode) - expected) <= 0.5 + 0.5 * factor + 1e-9;
    };
    bool ten = false, eleven = false;
    for (unsigned int p = 0; p < after.size(); ++p) {
        ASSERT_EQ(codeOf(after[p].lfpData[10]), midCode);
        ASSERT_TRUE(scaled(after[p].lfpData[20], before[p].lfpData[20], 4.0)) << "packet " << p;
        ASSERT_TRUE(scaled(after[p].lfpData[30], before[p].lfpData[30], 1.5)) << "packet " << p;
        for (unsigned int b = 0; b < 12; ++b) {
            ASSERT_EQ(codeOf(after[p].apData[b][10]), midCode);
            ASSERT_TRUE(scaled(after[p].apData[b][20], before[p].apData[b][20], 4.0));
            ASSERT_TRUE(scaled(after[p].apData[b][30], before[p].apData[b][30], 1.5));
            ASSERT_EQ(after[p].apData[b][21], before[p].apData[b][21]);
            ten = ten || codeOf(before[p].apData[b][10]) != midCode;
            eleven = eleven || codeOf(after[p].apData[b][11]) != midCode;
        }
    }
    EXPECT_TRUE(ten) << "channel 10 carried a signal before its standby";
    EXPECT_TRUE(eleven) << "channel 11 still carries one";
}

TEST_F(SimulatorData, BankSelectionPicksTheElectrodeAChannelRecords) {
    connectBankZero();
    // Channel 5 to bank 1: electrode 384 + 5; channel 6 to none.
    ASSERT_EQ(api.tolmaren_selectElectrode(5, 1, false), 0u);
    ASSERT_EQ(api.tolmaren_selectElectrode(6, 255, true), 0u);
    api.reconnectData();
    const auto packets = readPackets(100);
    ASSERT_EQ(packets.size(), 100u);

    const NeuralSignalModel model(2);
    std::vector<float> bank1, bank0, none;
    model.apVolts(5, 389, bank1);
    model.apVolts(5, 5, bank0);
    model.apVolts(6, -1, none);
    const double gain = NeuralSignalModel::gains[3];
    unsigned int differsFromBank0 = 0;
    for (unsigned int p = 0; p < packets.size(); ++p) {
        for (unsigned int b = 0; b < 12; ++b) {
            const unsigned int t = 12 * p + b;
            ASSERT_EQ(codeOf(packets[p].apData[b][5]),
                      NeuralSignalModel::toCode(bank1[t], gain, 512));
            ASSERT_EQ(codeOf(packets[p].apData[b][6]),
                      NeuralSignalModel::toCode(none[t], gain, 512));
            differsFromBank0 += NeuralSignalModel::toCode(bank0[t], gain, 512) !=
                                NeuralSignalModel::toCode(bank1[t], gain, 512);
        }
    }
    EXPECT_GT(differsFromBank0, 100u);
}

TEST_F(SimulatorData, DatapathResetPausesTheStreamAndRestartsIt) {
    ASSERT_EQ(readPackets(50).size(), 50u);
    const auto start = Clock::now();
    ASSERT_EQ(api.tolmaren_resetDatapath(), 0u);
    // The flush inside returned only after a pause of more than a second.
    const double seconds = secondsSince(start);
    EXPECT_GE(seconds, 1.0);
    EXPECT_LT(seconds, 5.0);
    // A new stream from block 0, aligned to the packet.
    const auto packets = readPackets(3);
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].ctrs[0][0], 0u);
    EXPECT_EQ(packets[2].ctrs[11][0], 35u);
}

TEST_F(SimulatorData, ConfigurationModePausesTheStream) {
    ASSERT_EQ(readPackets(20).size(), 20u);
    ASSERT_EQ(api.tolmaren_mode(0), 0u);
    // What was under way drains, then the reads time out.
    ElectrodePacket packet;
    unsigned int status = 0;
    for (unsigned int i = 0; i < 20000 && status != 3; ++i) {
        status = api.tolmaren_readElectrodeData(packet);
        ASSERT_TRUE(status == 0 || status == 3) << status;
    }
    ASSERT_EQ(status, 3u);
    const uint64_t sent = sim.dataStatistics().bytesSent;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sim.dataStatistics().bytesSent, sent);

    // Back in recording mode it goes on; the reader finds the next packet
    // start within a packet's worth of reads.
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    for (unsigned int i = 0; i < 13 && status != 0; ++i) {
        status = api.tolmaren_readElectrodeData(packet);
        ASSERT_TRUE(status == 0 || status == 4) << status;
    }
    EXPECT_EQ(status, 0u);
}

TEST_F(SimulatorData, LoopbackReturnsWhatWasWrittenInOrder) {
    // Configuration mode: no stream, only the echo. 24 MiB in 4 MiB packets
    // all written before anything is read back; most of it waits in the
    // simulator, partly in its spill file.
    ASSERT_EQ(api.tolmaren_mode(0), 0u);
    api.reconnectData();
    constexpr unsigned int perPacket = 1u << 20; // 32-bit values
    constexpr unsigned int packets = 6;
    for (unsigned int k = 0; k < packets; ++k) {
        ConnectionLinkPacket packet;
        for (unsigned int i = 0; i < perPacket; ++i)
            packet << (k * perPacket + i);
        ASSERT_TRUE(api.link().write(packet));
    }
    unsigned int expected = 0;
    for (unsigned int piece = 0; piece < packets * 4; ++piece) {
        ConnectionLinkPacket back = api.link().read(1u << 20);
        ASSERT_EQ(back.size(), 1u << 20) << "piece " << piece;
        for (unsigned int i = 0; i < (1u << 18); ++i, ++expected) {
            unsigned int value = 0;
            back >> value;
            ASSERT_EQ(value, expected);
        }
    }
    // Nothing more comes back.
    EXPECT_TRUE(api.link().read(4).empty());
}

TEST_F(SimulatorData, StreamFaultsReachTheReaderAsTheLibraryReportsThem) {
    ElectrodePacket packet;
    // A corrupted marker in block 5: that read fails, then every read fails
    // on a misplaced index, one block each, until block 12 starts a packet.
    DataFaults faults;
    faults.corruptMarkerAtUnit = 5;
    sim.setDataFaults(faults);
    api.reconnectData();
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u);
    for (unsigned int block = 6; block < 12; ++block)
        EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u) << "block " << block;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(packet.ctrs[0][0], 12u);
    EXPECT_FALSE(sim.dataFaults().corruptMarkerAtUnit); // fired once

    // A wrong index in block 14.
    faults = {};
    faults.wrongIndexAtUnit = 14;
    sim.setDataFaults(faults);
    api.reconnectData();
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u);
    for (unsigned int block = 15; block < 24; ++block)
        EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 4u) << "block " << block;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(packet.ctrs[0][0], 24u);

    // The data link receives 1 MiB at a time, so the reads before a fault in
    // block 2400 (packet 200) come from its buffer. A pause of 1.5 s there:
    // the read that needs it reports no data after the link's time-out.
    faults = {};
    faults.pauseAtUnit = 2400;
    sim.setDataFaults(faults);
    api.reconnectData();
    unsigned int status = 0;
    unsigned int read = 0;
    double seconds = 0;
    for (; read <= 200 && status == 0; ++read) {
        const auto start = Clock::now();
        status = api.tolmaren_readElectrodeData(packet);
        seconds = secondsSince(start);
    }
    EXPECT_EQ(status, 3u);
    EXPECT_GE(read, 100u);
    EXPECT_GE(seconds, 1.0);

    // The connection closed in the middle of block 2400.
    faults = {};
    faults.closeAtUnit = 2400;
    sim.setDataFaults(faults);
    api.reconnectData();
    EXPECT_THROW(
        {
            for (read = 0; read <= 200; ++read)
                ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
        },
        morvek::FileDescriptor::ReadError);
    EXPECT_GE(read, 100u);
}

TEST_F(SimulatorData, RecordingIsTheDeliveredStreamAndPlaysBackTheSamePackets) {
    ScopedWorkDir dir;
    api.reconnectData();
    ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
    const auto live = readPackets(1000);
    ASSERT_EQ(live.size(), 1000u);
    ASSERT_EQ(api.tolmaren_stopRecording(), 0u);

    // Byte for byte what the simulator sent first on this connection.
    const std::string recorded = dir.readFile("live.bin");
    ASSERT_EQ(recorded.size(), 1000 * packetBytes);
    const std::vector<uint8_t> sent = sim.dataStatistics().capture;
    ASSERT_GE(sent.size(), recorded.size());
    EXPECT_EQ(std::memcmp(recorded.data(), sent.data(), recorded.size()), 0);

    Tolmaren_basestation_api playback;
    ASSERT_EQ(playback.tolmaren_open(std::string("live.bin")), 0u);
    ASSERT_EQ(playback.tolmaren_datamode(true), 0u);
    ElectrodePacket packet;
    for (unsigned int p = 0; p < live.size(); ++p) {
        ASSERT_EQ(playback.tolmaren_readElectrodeData(packet), 0u) << "packet " << p;
        ASSERT_EQ(std::memcmp(packet.ctrs, live[p].ctrs, sizeof packet.ctrs), 0);
        ASSERT_EQ(std::memcmp(packet.synchronization, live[p].synchronization,
                              sizeof packet.synchronization),
                  0);
        ASSERT_EQ(
            std::memcmp(packet.startTrigger, live[p].startTrigger, sizeof packet.startTrigger), 0);
        ASSERT_EQ(std::memcmp(packet.lfpData, live[p].lfpData, sizeof packet.lfpData), 0);
        ASSERT_EQ(std::memcmp(packet.apData, live[p].apData, sizeof packet.apData), 0);
    }
    EXPECT_EQ(playback.tolmaren_readElectrodeData(packet), 3u);
}

TEST(SimulatorDataPacing, RealTimeDeliversThirtyThousandBlocksASecond) {
    BasestationSimulator sim(simulatorOptions(DataPacing::RealTime));
    sim.start();
    LiveApi api;
    const auto start = Clock::now();
    ASSERT_EQ(api.connect(2), 0u);
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    // One second of data cannot be had in less than a second.
    ElectrodePacket packet;
    for (unsigned int p = 0; p < 2500; ++p)
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u) << "packet " << p;
    EXPECT_EQ(packet.ctrs[11][0], 29999u);
    const double seconds = secondsSince(start);
    EXPECT_GE(seconds, 1.0);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(api.tolmaren_checkBasestationDatapath(), 0u);
}

TEST(SimulatorDataPacing, RealTimeReaderTooSlowOverflowsTheFifo) {
    SimulatorOptions options = simulatorOptions(DataPacing::RealTime);
    options.data.fifoBytes = 1u << 20;
    BasestationSimulator sim(options);
    sim.start();
    LiveApi api;
    ASSERT_EQ(api.connect(2), 0u);
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    ElectrodePacket packet;
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);

    // Not reading: the socket buffers fill, then the FIFO, then data is lost.
    unsigned int health = 0;
    float fill = 0;
    const auto start = Clock::now();
    while (health == 0 && secondsSince(start) < 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        fill = std::max(fill, api.tolmaren_fifoFilling());
        health = api.tolmaren_checkBasestationDatapath();
    }
    EXPECT_EQ(health, 1u); // t_dma.dma_error
    fill = std::max(fill, api.tolmaren_fifoFilling());
    EXPECT_GT(fill, 50.0f);

    // A datapath reset empties the FIFO, clears the error and starts over.
    ASSERT_EQ(api.tolmaren_resetDatapath(), 0u);
    EXPECT_EQ(api.tolmaren_checkBasestationDatapath(), 0u);
    ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
    EXPECT_EQ(packet.ctrs[0][0], 0u);
    EXPECT_LT(api.tolmaren_fifoFilling(), 50.0f);
}
