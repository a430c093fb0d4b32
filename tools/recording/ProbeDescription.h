#pragma once

#include <string>

#include "recording/ProbeGeometry.h"
#include "recording/RecordingInfo.h"

namespace tolmaren_recording {

// A probe description in the probeinterface JSON format, keeping its rules
// (ProbeInterfaceRules): one contact per channel that records an electrode,
// with the channel as its device index, placed by the geometry.
class ProbeDescription {
public:
    static std::string toJson(const RecordingInfo& info, const ProbeGeometry& geometry);
};

} // namespace tolmaren_recording
