#pragma once

#include <ostream>
#include <string>

#include "tolmaren_tools/RecordingInfo.h"

namespace tolmaren_tools {

// The settings a recording was made with: from its sidecar, or assumed when
// it has none. Loaded once the recording itself has opened, so that a
// missing file is reported alone.
struct RecordingSettings {
    RecordingInfo info;
    bool assumed = false;

    // Tells `notes` what was assumed, in one line, when there is no sidecar.
    // Throws ToolError for a malformed sidecar or a truncated recording.
    static RecordingSettings load(const std::string& recording, std::ostream& notes);
};

} // namespace tolmaren_tools
