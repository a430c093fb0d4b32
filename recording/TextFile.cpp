#include "recording/TextFile.h"

#include <fstream>

#include "recording/ToolError.h"

namespace tolmaren_recording {

void TextFile::write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw ToolError("cannot write " + path);
}

} // namespace tolmaren_recording
