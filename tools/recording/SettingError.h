#pragma once

#include "recording/ToolError.h"

namespace tolmaren_recording {

// A setting out of its range, refused before anything is written: a bad
// argument (Python's ValueError) rather than a failed operation.
class SettingError : public ToolError {
public:
    using ToolError::ToolError;
};

} // namespace tolmaren_recording
