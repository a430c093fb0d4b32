#pragma once

#include <string>

#include "tolmaren_tools/RecordingInfo.h"

// The settings a recording was made with: from its sidecar, or assumed (with
// a note on standard error) when it has none. Loaded once the recording
// itself has opened, so that a missing file is reported alone.
struct RecordingSettings {
    tolmaren_tools::RecordingInfo info;
    bool assumed = false;

    // Throws ToolError for a malformed sidecar or a truncated recording.
    static RecordingSettings load(const std::string& recording);
};
