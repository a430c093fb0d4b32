// The data port end to end: the simulator's stream read and recorded through
// the facade, its settings changed through the facade on the configuration
// link. The simulator binds the fixed ports 1234 and 1235 that the facade
// connects to; run under the port lock.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <functional>
#include <sys/socket.h>
#include <thread>

#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "data/TolmarenDataConnectionLink.h"
#include "link/FileDescriptor.h"
#include "sim/BasestationSimulator.h"
#include "sim/StreamChecksum.h"
#include "sim/UniqueFd.h"

namespace {

class LiveApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::setupConfigLink;
    LiveApi() { tolmaren_setBasestationAddress(TestAddress::own()); }
    // Sets the data mode and opens a new data connection, on which the
    // simulator starts a new stream.
    unsigned int connectData(bool electrodeMode) {
        const unsigned int status = tolmaren_datamode(electrodeMode);
        delete dataLink_;
        dataLink_ = new TolmarenDataConnectionLink(tolmaren_getBasestationAddress(), 1234);
        return status;
    }
};

TEST(SimulatorData, GeneratorStreamDecodesInBothFormsAndIsRecordedAsSent) {
    ScopedWorkDir dir;
    auto options = TestAddress::simulator();
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    options.data.captureBytes = 1u << 16;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    LiveApi api;
    ASSERT_EQ(api.setupConfigLink(), 0u);
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    ASSERT_EQ(api.setNeuralStart(true), 0u);
    // Code of channel c in AP sample n (block n) and LFP sample p (packet p):
    // 7 + c + n, 7 + c + p, modulo 1024.
    ASSERT_EQ(api.tolmaren_enableBasestationGenerator(true, 7, 0), 0u);
    ASSERT_EQ(api.connectData(true), 0u);

    ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
    ElectrodePacket packet;
    for (unsigned int p = 0; p < 3; ++p) {
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
        for (unsigned int b = 0; b < 12; ++b) {
            const unsigned int n = 12 * p + b;
            EXPECT_EQ(packet.ctrs[b][0], n);
            EXPECT_EQ(packet.ctrs[b][12], 12 * n + 11);
            EXPECT_EQ(packet.synchronization[b], 1u); // first half of the second
            EXPECT_TRUE(packet.startTrigger[b]);
            for (unsigned int c = 0; c < 384; ++c)
                ASSERT_EQ(packet.apData[b][c], volts((7 + c + n) % 1024)) << n << " " << c;
        }
        for (unsigned int c = 0; c < 384; ++c)
            ASSERT_EQ(packet.lfpData[c], volts((7 + c + p) % 1024)) << p << " " << c;
    }
    ASSERT_EQ(api.tolmaren_stopRecording(), 0u);
    const std::string recorded = dir.readFile("live.bin");
    const std::vector<uint8_t> sent = sim.dataStatistics().capture;
    EXPECT_TRUE(recorded == std::string(sent.begin(), sent.begin() + 3 * 7344));

    // ADC records: code of ADC a in record r is 200 + a + r div 4.
    ASSERT_EQ(api.tolmaren_enableBasestationGenerator(true, 200, 2), 0u);
    ASSERT_EQ(api.connectData(false), 0u);
    AdcPacket adc;
    for (unsigned int q = 0; q < 2; ++q) {
        ASSERT_EQ(api.tolmaren_readADCData(adc), 0u);
        for (unsigned int r = 13 * q; r < 13 * q + 13; ++r) {
            EXPECT_EQ(adc.records[r % 13].ctr, r);
            for (unsigned int a = 0; a < 32; ++a)
                ASSERT_EQ(adc.records[r % 13].adcData[a], volts((200 + a + r / 4) % 1024));
        }
    }
}

// The faults of the data stream as the facade reports them, and a close and
// a new open recovering after them.
TEST(SimulatorData, StreamFaultsGiveTheirCodesAndACloseAndOpenRecover) {
    auto options = TestAddress::simulator();
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    tolmaren_sim::DataFaults faults;
    faults.corruptMarkerAtUnit = 13; // packet 1, block 1
    faults.wrongIndexAtUnit = 40;    // packet 3, block 4
    faults.closeAtUnit = 2000;       // in the data link's second refill of 1 MiB
    faults.pauseAtUnit = 3000;       // the same on the next connection
    faults.pauseMs = 60000;
    sim.setDataFaults(faults);
    LiveApi api;
    ASSERT_EQ(api.setupConfigLink(), 0u);
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    ASSERT_EQ(api.connectData(true), 0u);
    ElectrodePacket packet;
    // Reads up to one that decodes: how many failed their checks, and the
    // number of the good one's first block.
    auto next = [&] {
        unsigned int failed = 0;
        while (api.tolmaren_readElectrodeData(packet) == 4)
            ++failed;
        return std::make_pair(failed, packet.ctrs[0][0]);
    };
    EXPECT_EQ(next(), std::make_pair(0u, 0u));
    EXPECT_EQ(next(), std::make_pair(11u, 24u)); // blocks 12 and 13, then 14 to 23 one by one
    EXPECT_EQ(next(), std::make_pair(8u, 48u));  // blocks 36 to 40, then 41 to 47
    EXPECT_THROW(api.skipElectrodeData(1000), morvek::FileDescriptor::ReadError);
    ASSERT_EQ(api.connectData(true), 0u);
    EXPECT_EQ(api.skipElectrodeData(1000), 3u); // a second without data
    api.tolmaren_close();
    ASSERT_EQ(api.tolmaren_open(0), 0u);
    EXPECT_EQ(next(), std::make_pair(0u, 0u));
}

// Connects to the data port and reads up to n bytes, fewer when the
// simulator closes the connection.
std::vector<uint8_t> readStream(tolmaren_sim::UniqueFd& fd, std::size_t n) {
    fd.reset(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{AF_INET, htons(1234), {}, {}};
    ::inet_pton(AF_INET, TestAddress::own().c_str(), &address.sin_addr);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return {};
    std::vector<uint8_t> bytes(n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd.get(), bytes.data() + got, n - got, 0);
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    bytes.resize(got);
    return bytes;
}

// The statistics once done() holds (within ten seconds).
tolmaren_sim::DataServer::Statistics
statisticsOnce(const tolmaren_sim::BasestationSimulator& sim,
               const std::function<bool(const tolmaren_sim::DataServer::Statistics&)>& done) {
    auto statistics = sim.dataStatistics();
    for (int ms = 0; ms < 10000 && !done(statistics); ++ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        statistics = sim.dataStatistics();
    }
    return statistics;
}

// The raw stream under each fault: where the counters jump, which units fail
// their checks, and the simulator's counts of what it sent against what was
// read. Every stream stalls for good at unit 300, so the counts stand still.
TEST(SimulatorData, FaultsShowInTheRawStreamWhereArmedAndTheCountsMatchIt) {
    using tolmaren_sim::DataFaults;
    const struct {
        bool electrode;
        std::function<void(DataFaults&)> arm;
        std::vector<std::pair<uint32_t, uint32_t>> jumps; // counters of consecutive units
        std::vector<uint32_t> corrupted;                  // counters of units failing checks
    } rows[] = {
        {true,
         [](DataFaults& f) {
             f.dropAtUnit = 100;
             f.dropUnits = 6;
             f.corruptMarkerAtUnit = 200;
             f.wrongIndexAtUnit = 250;
         },
         {{99, 106}},
         {200, 250}},
        {true, // place 5 of packet 10; cut in the middle of unit 280
         [](DataFaults& f) {
             f.spliceAtUnit = 125;
             f.closeAtUnit = 280;
         },
         {{124, 137}},
         {}},
        {false,
         [](DataFaults& f) {
             f.dropAtUnit = 100;
             f.dropUnits = 5;
             f.spliceAtUnit = 200; // a packet of 13 records
             f.corruptMarkerAtUnit = 250;
             f.wrongIndexAtUnit = 260; // records have no index
         },
         {{99, 105}, {199, 213}},
         {250}},
    };
    auto options = TestAddress::simulator();
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    LiveApi api;
    ASSERT_EQ(api.setupConfigLink(), 0u);
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    tolmaren_sim::UniqueFd fd;
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        DataFaults faults;
        row.arm(faults);
        const uint64_t end = faults.closeAtUnit.value_or(300); // no whole unit from here on
        faults.pauseAtUnit = 300;
        faults.pauseMs = 600000;
        sim.setDataFaults(faults);
        ASSERT_EQ(api.tolmaren_datamode(row.electrode), 0u);
        const std::size_t size = row.electrode ? 612 : 48;
        uint64_t gaps = 0;
        for (const auto& jump : row.jumps)
            gaps += jump.second - jump.first - 1;
        const uint64_t sentBefore = sim.dataStatistics().bytesSent;
        const std::vector<uint8_t> bytes = readStream(fd, (300 - gaps) * size);

        std::vector<std::pair<uint32_t, uint32_t>> jumps;
        std::vector<uint32_t> corrupted;
        uint64_t units = 0;
        uint32_t last = 0;
        for (std::size_t at = 0; at + size <= bytes.size(); at += size, ++units) {
            const uint8_t* unit = bytes.data() + at;
            const auto word = [&](std::size_t offset) {
                return uint32_t(unit[offset]) << 24 | uint32_t(unit[offset + 1]) << 16 |
                       uint32_t(unit[offset + 2]) << 8 | unit[offset + 3];
            };
            const uint32_t counter = word(row.electrode ? 4 : 0) & 0xFFFFFF;
            const bool marker = unit[row.electrode ? 8 : 4] >> 6 == 0;
            const bool index = !row.electrode || (word(0) >> 17 & 0xF) == counter % 12;
            if (!marker || !index) corrupted.push_back(counter);
            if (units > 0 && counter != last + 1) jumps.emplace_back(last, counter);
            last = counter;
        }
        EXPECT_EQ(jumps, row.jumps);
        EXPECT_EQ(corrupted, row.corrupted);
        EXPECT_EQ(last, end - 1);
        const bool cut = faults.closeAtUnit.has_value();
        EXPECT_EQ(bytes.size() % size, cut ? size / 2 : 0);

        const auto s = statisticsOnce(
            sim, [&](const auto& s) { return s.bytesSent - sentBefore >= bytes.size(); });
        EXPECT_EQ(s.unitsIntact, units - corrupted.size());
        EXPECT_EQ(s.unitsCorrupted, corrupted.size());
        EXPECT_EQ(s.unitsCut, cut ? 1u : 0u);
        EXPECT_EQ(s.unitsDropped, gaps);
        EXPECT_EQ(s.unitsOverflowed, 0u);
        EXPECT_EQ(s.restarts, 0u);
    }
    // A datapath reset starts the stream again, still stalled, and its counts
    // with it.
    ASSERT_EQ(api.tolmaren_resetDatapath(), 0u);
    const auto s = statisticsOnce(sim, [](const auto& s) { return s.restarts > 0; });
    EXPECT_EQ(s.restarts, 1u);
    EXPECT_EQ(s.unitsIntact + s.unitsCorrupted + s.unitsDropped, 0u);
}

// A stall of the stream longer than the data link's read time-out costs no
// byte: every packet follows the one before, and the recording holds exactly
// what the simulator sent, what the undecoded read took included; the same
// with low-latency reads, whose refills end wherever the socket's bytes do. A
// flush while the stream flows stops at its bound with a code of its own.
TEST(SimulatorData, StallLosesNoByteAndAFlushOfAFlowingStreamIsBounded) {
    ScopedWorkDir dir;
    auto options = TestAddress::simulator();
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    LiveApi api;
    ASSERT_EQ(api.setupConfigLink(), 0u);
    for (const bool lowLatency : {false, true}) {
        SCOPED_TRACE(lowLatency ? "low latency" : "default");
        tolmaren_sim::DataFaults faults;
        faults.pauseAtUnit = 12 * 200; // packet 200, in the data link's second refill
        faults.pauseMs = 1500;
        sim.setDataFaults(faults);
        ASSERT_EQ(api.tolmaren_mode(3), 0u);
        ASSERT_EQ(api.connectData(true), 0u);
        api.tolmaren_setLowLatency(lowLatency);
        ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
        ElectrodePacket packet;
        // A read in the stall may find no bytes (3), and the next one goes on.
        unsigned int empty = 0;
        for (unsigned int p = 0; p < 400;) {
            const unsigned int status = api.tolmaren_readElectrodeData(packet);
            ASSERT_TRUE(status == 0 || (status == 3 && ++empty < 3)) << status << " at " << p;
            if (status != 0) continue;
            ASSERT_EQ(packet.ctrs[0][0], 12 * p);
            ++p;
            // An undecoded read takes the next packet's bytes, into the file too.
            if (p == 300) {
                ASSERT_EQ(api.tolmaren_readUnprocessed(12 * 612).size(), 12 * 612u);
                ++p;
            }
        }
        // The probe stops; what is still on its way is read until the pause.
        ASSERT_EQ(api.tolmaren_mode(0), 0u);
        while (api.tolmaren_readElectrodeData(packet) != 3) {
        }
        ASSERT_EQ(api.tolmaren_stopRecording(), 0u);
        const std::string recorded = dir.readFile("live.bin");
        tolmaren_sim::StreamChecksum checksum;
        checksum.add(reinterpret_cast<const uint8_t*>(recorded.data()), recorded.size());
        const tolmaren_sim::StreamChecksum sent = sim.dataStatistics().checksum;
        EXPECT_EQ(checksum.bytes(), sent.bytes());
        EXPECT_TRUE(checksum == sent);
    }

    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    EXPECT_EQ(api.tolmaren_flushData(), 2u);
}

} // namespace
