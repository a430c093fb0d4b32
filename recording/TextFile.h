#pragma once

#include <string>

namespace tolmaren_recording {

class TextFile {
public:
    // Creates or empties the file and writes the text; throws ToolError.
    static void write(const std::string& path, const std::string& text);
};

} // namespace tolmaren_recording
