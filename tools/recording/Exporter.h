#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/ExportTimeline.h"
#include "recording/ProbeGeometry.h"
#include "recording/RecordingInfo.h"
#include "recording/RecordingReader.h"

namespace tolmaren_recording {

// What an export wrote.
struct ExportResult {
    StreamCounts counts;
    uint64_t recordingBytes = 0;
    uint64_t apSamples = 0;  // rows of ap.bin, gaps included
    uint64_t lfpSamples = 0; // rows of lfp.bin
    std::vector<ExportTimeline::Gap> gaps;
    std::vector<ExportTimeline::Segment> segments;
};

// Writes a recording in the layout common spike sorters read: the AP and LFP
// bands as flat int16 binaries on the stream's timeline (see ExportTimeline:
// the code minus the ADC's mid-scale 512, little-endian, channel-interleaved,
// a lost sample 0), each AP sample's synchronization value and start-trigger
// bit, a metadata JSON (rates, channel count, microvolts per bit,
// channel-to-electrode map, gaps and segments) and a probeinterface probe
// description. The files are staged beside the directory's other files and
// appear together only once all are complete (StagingDirectory).
class Exporter {
public:
    static constexpr const char* metadataFile = "recording.json";
    static constexpr const char* probeFile = "probe.json";

    // The files an export writes, in the order they are listed to the user.
    static std::vector<std::string> files();

    // Exports what `reader` holds of the file `recording`. `settingsAssumed`:
    // the info is RecordingInfo::assumedDefaults() for a recording without
    // sidecar, which the metadata then says. Refuses, before writing
    // anything, an output that is one of the inputs (the recording, its
    // sidecar, the geometry's file). Throws ToolError.
    static ExportResult run(RecordingReader& reader, const std::string& recording,
                            const std::string& outDir, const RecordingInfo& info,
                            bool settingsAssumed, const ProbeGeometry& geometry);
};

} // namespace tolmaren_recording
