#pragma once

#include <cstdint>
#include <string>

#include "recording/RecordingInfo.h"
#include "recording/RecordingReader.h"

namespace tolmaren_recording {

// What an export wrote.
struct ExportResult {
    StreamCounts counts;
    uint64_t recordingBytes = 0;
    uint64_t apSamples = 0;  // per channel
    uint64_t lfpSamples = 0; // per channel
};

// Writes a recording in the layout common spike sorters read: the AP and LFP
// bands as flat int16 binaries (the code minus the ADC's mid-scale 512,
// little-endian, channel-interleaved: all 384 channels of sample 0, then of
// sample 1, ...), a metadata JSON (rates, channel count, microvolts per bit,
// channel-to-electrode map) and a probeinterface probe description. Every
// file appears only once all are complete.
class Exporter {
public:
    static constexpr const char* apFile = "ap.bin";
    static constexpr const char* lfpFile = "lfp.bin";
    static constexpr const char* metadataFile = "recording.json";
    static constexpr const char* probeFile = "probe.json";

    // Exports what `reader` holds of the file `recording`. `settingsAssumed`:
    // the info is RecordingInfo::assumedDefaults() for a recording without
    // sidecar, which the metadata then says. Throws ToolError.
    static ExportResult run(RecordingReader& reader, const std::string& recording,
                            const std::string& outDir, const RecordingInfo& info,
                            bool settingsAssumed);
};

} // namespace tolmaren_recording
