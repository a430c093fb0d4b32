// The sidecar: how a recording ended and its set of files survive a write
// and a read, and the sidecars of earlier versions beside older recordings
// are still read.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "common/ScopedWorkDir.h"
#include "recording/Sidecar.h"
#include "recording/ToolError.h"

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

// A sidecar travels with its recording from other computers: every value it
// holds is checked against what a recording can hold, and the message names
// the key and the value (a text's control characters escaped).
TEST(Sidecar, RefusesValuesNoRecordingHolds) {
    struct Case {
        const char* key;
        nlohmann::ordered_json value;
        const char* message;
    };
    const Case cases[] = {
        {"/stream/volts_per_code", -0.0011730206, "stream.volts_per_code is -0.0011730206: not"},
        {"/stream/volts_per_code", 0, "stream.volts_per_code is 0: not"},
        {"/stream/volts_per_code", 1e308, "stream.volts_per_code is 1e+308: not"},
        {"/probe/type", 1e308, "probe.type is 1e+308: not 0 to 3"},
        {"/probe/type", nlohmann::ordered_json::parse("18446744073709551616"),
         "probe.type is 1.8446744073709552e+19: not 0 to 3"},
        {"/probe/type", 99, "probe.type is 99: not 0 to 3"},
        {"/probe/type", -7, "probe.type is -7: not 0 to 3"},
        {"/probe/serial_number", 4294967301u, "probe.serial_number is 4294967301: not 0 to"},
        {"/settings/channels/ap_gain_code/5", 2.9, "ap_gain_code[5] is 2.9: not an integer"},
        {"/settings/channels/lfp_gain_code/0", 8, "lfp_gain_code[0] is 8: gain code 8"},
        {"/settings/channels/reference/1", -1, "reference[1] is -1: reference -1"},
        {"/settings/channels/bank/7", 11184811, "bank[7] is 11184811: bank 11184811"},
        {"/settings/channels/bank/3", 1, "bank[3] is 1: channel 3 of a probe of type 0"},
        {"/settings/high_pass_filter", 2, "high_pass_filter is 2: high-pass filter setting 2"},
        {"/recorded/bytes", 1e308, "recorded.bytes is 1e+308: not 0 to"},
        {"/recorded/blocks", -1, "recorded.blocks is -1: not 0 to"},
        {"/recorded/ended", "\x1b]0;owned\x07", R"(recorded.ended is "\u001b]0;owned\u0007")"},
        {"/settings/channels/standby", {true}, "standby is [...]: not a list of 384"},
    };
    ScopedWorkDir dir;
    const auto valid =
        nlohmann::ordered_json::parse(Sidecar::toJson(RecordingInfo::assumedDefaults()));
    for (const Case& c : cases) {
        auto document = valid;
        document[nlohmann::ordered_json::json_pointer(c.key)] = c.value;
        std::ofstream("bad.json", std::ios::trunc) << document.dump();
        try {
            Sidecar::read("bad.json");
            ADD_FAILURE() << c.key << " " << c.value << " was read";
        } catch (const tolmaren_recording::ToolError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.key << ": " << e.what();
        }
    }
}
