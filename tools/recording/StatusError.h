#pragma once

#include <string>

#include "recording/ToolError.h"

namespace tolmaren_recording {

// A facade operation's nonzero status code, with the operation's name and
// the code kept apart from the message for front ends that report them
// separately (the Python module's exception carries both).
class StatusError : public ToolError {
public:
    StatusError(std::string operation, unsigned int code, const std::string& message)
        : ToolError(message), operation_(std::move(operation)), code_(code) {}

    const std::string& operation() const { return operation_; }
    unsigned int code() const { return code_; }

private:
    std::string operation_;
    unsigned int code_;
};

} // namespace tolmaren_recording
