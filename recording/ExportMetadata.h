#pragma once

#include <string>

#include "recording/Exporter.h"

namespace tolmaren_recording {

// The metadata JSON of an export: for each band its file, sample type and
// layout, shape, sample rate and microvolts per bit; the channel-to-electrode
// map; the probe; what the reader found in the stream.
class ExportMetadata {
public:
    static std::string toJson(const std::string& recording, const RecordingInfo& info,
                              bool settingsAssumed, const ExportResult& result);
};

} // namespace tolmaren_recording
