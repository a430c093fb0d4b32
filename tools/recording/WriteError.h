#pragma once

#include <cerrno>
#include <string>

#include "recording/ToolError.h"

namespace tolmaren_recording {

// A file that could not be written, with the system's error number, so that
// a recorder can tell a full disk from other failures.
class WriteError : public ToolError {
public:
    WriteError(const std::string& message, int errorNumber)
        : ToolError(message), errorNumber_(errorNumber) {}

    int errorNumber() const { return errorNumber_; }
    // The file system holds no more of it: no space left, the quota or the
    // process's file size limit reached.
    bool full() const {
        return errorNumber_ == ENOSPC || errorNumber_ == EDQUOT || errorNumber_ == EFBIG;
    }

private:
    int errorNumber_;
};

} // namespace tolmaren_recording
