#pragma once

#include <stdexcept>

namespace tolmaren_recording {

// A failure that a front end reports to its user as one line: a facade
// operation's nonzero status code, an unusable input file, an output that
// cannot be written. The message says what failed in words.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace tolmaren_recording
