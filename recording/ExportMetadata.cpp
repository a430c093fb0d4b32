#include "recording/ExportMetadata.h"

#include "recording/JsonText.h"
#include "recording/ProbeLayout.h"
#include "recording/StreamCountsText.h"

namespace tolmaren_recording {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* layout = "channel-interleaved (sample-major): all channels of sample 0, "
                               "then all channels of sample 1, and so on";

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

} // namespace

std::string ExportMetadata::toJson(const std::string& recording, const RecordingInfo& info,
                                   bool settingsAssumed, const ExportResult& result) {
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
        {"format_version", 1},
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
        {"ap", band(Exporter::apFile, RecordingInfo::apSampleRateHz, result.apSamples, apScale)},
        {"lfp",
         band(Exporter::lfpFile, RecordingInfo::lfpSampleRateHz, result.lfpSamples, lfpScale)},
        {"probe_file", Exporter::probeFile},
        {"stream",
         {{"note", "packets that failed to decode are left out, so the samples after a decode "
                   "error or counter gap are not evenly spaced in time with those before"}}},
    };
    StreamCountsText::addTo(document["stream"], result.counts);
    return JsonText::format(document);
}

} // namespace tolmaren_recording
