#pragma once

#include <optional>
#include <string>

#include "recording/RecordingInfo.h"

namespace tolmaren_recording {

// The JSON file beside a raw recording (the recording's name plus ".json")
// that holds its RecordingInfo.
class Sidecar {
public:
    static std::string pathFor(const std::string& recording);
    static std::string toJson(const RecordingInfo& info);
    // Nothing when there is no such file; throws ToolError when the file
    // exists but is not a sidecar of this format.
    static std::optional<RecordingInfo> read(const std::string& path);
};

} // namespace tolmaren_recording
