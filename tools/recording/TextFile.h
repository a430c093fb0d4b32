#pragma once

#include <string>

namespace tolmaren_recording {

class TextFile {
public:
    // Creates the file, never over an existing file or through a link, and
    // writes the text; throws ToolError with the system's reason.
    static void write(const std::string& path, const std::string& text);
};

} // namespace tolmaren_recording
