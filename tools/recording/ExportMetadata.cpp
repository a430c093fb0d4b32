#include "recording/ExportMetadata.h"

#include "recording/JsonText.h"
#include "recording/ProbeLayout.h"
#include "recording/StreamCountsText.h"

namespace tolmaren_recording {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* layout = "channel-interleaved (sample-major): all channels of sample 0, "
                               "then all channels of sample 1, and so on";
constexpr const char* timelineNote =
    "One AP row per block counter from the first block of a segment to its last, one LFP row "
    "per packet period: a sample that was lost before the host or failed its checks is 0 (and "
    "its sync and start-trigger values 0), and each run of them is a gap [first AP row, rows]. "
    "A segment begins where the counters restarted (a datapath reset): the time between two "
    "segments is unknown, so their rows follow each other with none between. LFP row k of a "
    "segment belongs to the packet whose block 0 is AP row 12 k - first_block_place of the "
    "segment; rows count from the start of the file.";

json band(const char* file, double rate, uint64_t samples, const std::vector<double>& uvPerBit) {
    bool uniform = true;
    for (const double value : uvPerBit)
        uniform = uniform && value == uvPerBit.front();
    return {
        {"file", file},
        {"dtype", "int16"},
        {"byte_order", "little"},
        {"layout", layout},
        {"shape", {samples, ProbeLayout::streamChannels}},
        {"sample_rate_hz", rate},
        {"sample_count", samples},
        {"zero_code", RecordingInfo::adcZeroCode},
        {"microvolts_per_bit", uniform ? json(uvPerBit.front()) : json(nullptr)},
        {"microvolts_per_bit_by_channel", uvPerBit},
    };
}

json perSample(const char* file, const char* dtype, uint64_t samples, const char* meaning) {
    return {{"file", file},
            {"dtype", dtype},
            {"byte_order", "little"},
            {"shape", {samples}},
            {"sample_rate_hz", RecordingInfo::apSampleRateHz},
            {"meaning", meaning}};
}

json timeline(const ExportResult& result) {
    json segments = json::array(), gaps = json::array();
    for (const ExportTimeline::Segment& s : result.segments)
        segments.push_back({{"ap_first_row", s.apFirstRow},
                            {"ap_rows", s.apRows},
                            {"lfp_first_row", s.lfpFirstRow},
                            {"lfp_rows", s.lfpRows},
                            {"first_block_counter", s.firstBlockCounter},
                            {"first_block_place", s.firstPlace}});
    for (const ExportTimeline::Gap& gap : result.gaps)
        gaps.push_back({gap.firstRow, gap.rows});
    return {{"note", timelineNote}, {"segments", segments}, {"gaps", gaps}};
}

} // namespace

std::string ExportMetadata::toJson(const std::string& recording, const RecordingInfo& info,
                                   bool settingsAssumed, const ProbeGeometry& geometry,
                                   const ExportResult& result) {
    std::vector<double> apScale, lfpScale;
    json electrodes = json::array();
    const std::vector<int> electrode = info.electrodes();
    for (unsigned int c = 0; c < ProbeLayout::streamChannels; ++c) {
        apScale.push_back(info.apMicrovoltsPerCode(c));
        lfpScale.push_back(info.lfpMicrovoltsPerCode(c));
        electrodes.push_back(electrode[c] < 0 ? json(nullptr) : json(electrode[c]));
    }
    json document = {
        {"format", "tolmaren export"},
        {"format_version", 2},
        {"source",
         {{"recording", recording},
          {"bytes", result.recordingBytes},
          {"start_time", info.startTime},
          {"settings", settingsAssumed
                           ? "assumed: no sidecar, so probe type 0 and gain code 1 (gain 125) "
                             "on every channel, as a freshly opened probe has"
                           : "from the recording's sidecar"}}},
        {"probe", {{"type", info.probeType}, {"serial_number", info.serialNumber}}},
        {"channel_count", ProbeLayout::streamChannels},
        {"channel_to_electrode", electrodes},
        {"ap",
         band(ExportTimeline::apFile, RecordingInfo::apSampleRateHz, result.apSamples, apScale)},
        {"lfp", band(ExportTimeline::lfpFile, RecordingInfo::lfpSampleRateHz, result.lfpSamples,
                     lfpScale)},
        {"sync", perSample(ExportTimeline::syncFile, "uint16", result.apSamples,
                           "the synchronization value of each AP row's block")},
        {"start_trigger", perSample(ExportTimeline::triggerFile, "uint8", result.apSamples,
                                    "1 where the start-trigger bit of the AP row's block was "
                                    "set, else 0")},
        {"timeline", timeline(result)},
        {"probe_file", Exporter::probeFile},
        {"probe_geometry", geometry.source().empty() ? json(nullptr) : json(geometry.source())},
        {"probe_geometry_note", geometry.note()},
        {"stream", json::object()},
    };
    StreamCountsText::addTo(document["stream"], result.counts);
    return JsonText::format(document);
}

} // namespace tolmaren_recording
