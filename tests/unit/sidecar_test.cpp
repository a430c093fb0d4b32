// The sidecar: how a recording ended and its set of files survive a write
// and a read, and the sidecars of earlier versions beside older recordings
// are still read.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "common/ScopedWorkDir.h"
#include "recording/Sidecar.h"

using tolmaren_recording::RecordingInfo;
using tolmaren_recording::Sidecar;

TEST(Sidecar, KeepsHowTheRecordingEndedAndReadsEarlierVersions) {
    ScopedWorkDir dir;
    RecordingInfo info = RecordingInfo::assumedDefaults();
    info.ended = RecordingInfo::End::DiskFull;
    info.endDetail = "cannot write rec.bin: No space left on device";
    info.segment = 2;
    info.segmentFiles = {"rec.bin", "rec-2.bin"};
    std::ofstream("now.json") << Sidecar::toJson(info);
    const auto now = Sidecar::read("now.json");
    ASSERT_TRUE(now);
    EXPECT_EQ(now->ended, info.ended);
    EXPECT_EQ(now->endDetail, info.endDetail);
    EXPECT_EQ(now->segment, 2u);
    EXPECT_EQ(now->segmentFiles, info.segmentFiles);

    // Version 2 said only whether the user stopped the recording.
    for (const bool interrupted : {true, false}) {
        auto earlier = nlohmann::ordered_json::parse(Sidecar::toJson(info));
        earlier["format_version"] = 2;
        auto& recorded = earlier["recorded"];
        for (const char* key : {"ended", "end_detail", "segment", "segment_files"})
            recorded.erase(key);
        recorded["interrupted"] = interrupted;
        std::ofstream("v2.json") << earlier.dump();
        const auto read = Sidecar::read("v2.json");
        ASSERT_TRUE(read);
        EXPECT_EQ(read->ended,
                  interrupted ? RecordingInfo::End::Stopped : RecordingInfo::End::Completed);
        EXPECT_EQ(read->segment, 1u);
    }
}
