#pragma once

#include <string>

namespace tolmaren_recording {

class TextFile {
public:
    // Creates the file anew (an existing one is replaced) and writes the
    // text; throws ToolError with the system's reason.
    static void write(const std::string& path, const std::string& text);
};

} // namespace tolmaren_recording
