#pragma once

#include "api/Tolmaren_basestation_api.h"
#include "recording/RecordingInfo.h"

namespace tolmaren_recording {

// The RecordingInfo of an open probe as it stands: identity, the
// basestation's address, versions, and
// the channel settings held by the facade's chain models (what was last
// written to the probe). The start time and stream counts stay empty.
class ProbeSnapshot {
public:
    // Throws ToolError when a version query fails.
    static RecordingInfo take(Tolmaren_basestation_api& api);
};

} // namespace tolmaren_recording
