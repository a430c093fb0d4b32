#pragma once

#include <string>

namespace tolmaren_recording {

class TextFile {
public:
    // Creates the file, never over an existing file or through a link, and
    // writes the text; throws ToolError with the system's reason.
    static void write(const std::string& path, const std::string& text);
    // Puts the text in place of the file at `path`, whole: written under a
    // temporary name, forced to the disk and renamed over it. Throws ToolError.
    static void replace(const std::string& path, const std::string& text);
};

} // namespace tolmaren_recording
