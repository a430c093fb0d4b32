#pragma once

#include <string>

#include "recording/Exporter.h"

namespace tolmaren_recording {

// The metadata JSON of an export: for each file its sample type, layout,
// shape and sample rate, and microvolts per bit for the two bands; the
// timeline's segments and gaps; the channel-to-electrode map; the probe and
// where its geometry came from; what the reader found in the stream.
class ExportMetadata {
public:
    static std::string toJson(const std::string& recording, const RecordingInfo& info,
                              bool settingsAssumed, const ProbeGeometry& geometry,
                              const ExportResult& result);
};

} // namespace tolmaren_recording
