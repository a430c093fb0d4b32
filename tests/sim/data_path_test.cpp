// The data path end to end under each of the simulator's data faults: a live
// reader follows the stream while the data link records it, until the probe
// stops. The recording must hold every byte the simulator sent; the live
// reader, the recording reader, `tolmaren play` and `tolmaren export` must
// report the same counts; and those counts must be what the simulator says it
// sent intact, corrupted and dropped.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "common/ToolRun.h"
#include "link/FileDescriptor.h"
#include "recording/LiveReader.h"
#include "recording/RecordingReader.h"
#include "recording/StatusError.h"
#include "recording/StreamCountsText.h"
#include "sim/BasestationSimulator.h"
#include "sim/StreamChecksum.h"

namespace {

using tolmaren_sim::DataFaults;

struct FaultCase {
    const char* name;
    void (*arm)(DataFaults&);
    uint64_t rejected, gaps, lost, abandoned; // abandoned besides the last packet
};

StreamCounts countsIn(const nlohmann::json& object) {
    return tolmaren_recording::StreamCountsText::from(nlohmann::ordered_json(object));
}

TEST(DataPath, EveryReaderCountsWhatTheSimulatorSentUnderEachFault) {
    const FaultCase cases[] = {
        {"none", [](DataFaults&) {}, 0, 0, 0, 0},
        {"6 blocks dropped at place 6", [](DataFaults& f) { f.dropAtUnit = 4806, f.dropUnits = 6; },
         0, 1, 6, 1},
        {"a splice at place 6", [](DataFaults& f) { f.spliceAtUnit = 6006; }, 0, 1, 12, 2},
        {"a corrupt marker", [](DataFaults& f) { f.corruptMarkerAtUnit = 2405; }, 1, 1, 1, 1},
        {"a wrong block index", [](DataFaults& f) { f.wrongIndexAtUnit = 3007; }, 1, 1, 1, 1},
        {"a stall of 1.5 s inside a packet",
         [](DataFaults& f) { f.pauseAtUnit = 2410, f.pauseMs = 1500; }, 0, 0, 0, 0},
        {"the link closed inside a block", [](DataFaults& f) { f.closeAtUnit = 9005; }, 0, 0, 0, 0},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkDir dir;
        auto options = TestAddress::simulator();
        options.probeType = 2;
        options.data.pacing = tolmaren_sim::DataPacing::Fast;
        tolmaren_sim::BasestationSimulator sim(options);
        DataFaults faults;
        c.arm(faults);
        sim.setDataFaults(faults);
        sim.start();
        Tolmaren_basestation_api api;
        api.tolmaren_setBasestationAddress(TestAddress::own());
        ASSERT_EQ(api.tolmaren_open(0), 0u);
        ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
        tolmaren_recording::LiveReader live(api);
        bool closed = false;
        try {
            for (unsigned int p = 0; p < 1000; ++p)
                ASSERT_NE(live.next(), nullptr);
            // The probe stops; everything on its way is read, up to the pause.
            ASSERT_EQ(api.tolmaren_mode(0), 0u);
            for (;;)
                live.next();
        } catch (const tolmaren_recording::StatusError& e) {
            EXPECT_EQ(e.code(), 3u); // the pause after the stop
        } catch (const morvek::FileDescriptor::ReadError&) {
            closed = true;
        }
        live.finish();
        api.tolmaren_stopRecording();
        const StreamCounts liveCounts = live.counts();
        const auto sent = sim.dataStatistics();
        api.tolmaren_close();

        // Every byte sent is in the file, but for the half block before a close.
        const std::string recorded = dir.readFile("live.bin");
        tolmaren_sim::StreamChecksum checksum;
        checksum.add(reinterpret_cast<const uint8_t*>(recorded.data()), recorded.size());
        if (closed)
            EXPECT_EQ(recorded.size() + 306, sent.checksum.bytes());
        else
            EXPECT_TRUE(checksum == sent.checksum);

        tolmaren_recording::RecordingReader file("live.bin");
        while (file.next() != nullptr) {
        }
        const StreamCounts counts = file.counts();
        EXPECT_TRUE(liveCounts == counts) << tolmaren_recording::StreamCountsText::line(liveCounts);
        EXPECT_EQ(counts.blocks, sent.unitsIntact);
        EXPECT_EQ(counts.blocksRejected, c.rejected);
        EXPECT_EQ(counts.blocksRejected, sent.unitsCorrupted);
        EXPECT_EQ(counts.gaps, c.gaps);
        EXPECT_EQ(counts.blocksLost, c.lost);
        EXPECT_EQ(counts.blocksLost, sent.unitsDropped + sent.unitsCorrupted);
        // The probe stops, or the link closes, where it may: inside a packet.
        const uint64_t units =
            sent.unitsIntact + sent.unitsCorrupted + sent.unitsCut + sent.unitsDropped;
        EXPECT_EQ(counts.packetsAbandoned, c.abandoned + (units % 12 != 0 ? 1 : 0));
        EXPECT_EQ(counts.segments, 1u);

        const ToolRun play = tool(dir, "play live.bin");
        EXPECT_NE(play.out.find(tolmaren_recording::StreamCountsText::line(counts)),
                  std::string::npos)
            << play.out;
        ASSERT_EQ(tool(dir, "export live.bin out").status, 0);
        EXPECT_TRUE(countsIn(nlohmann::json::parse(
                        std::ifstream("out/recording.json"))["stream"]) == counts);
    }
}

} // namespace
