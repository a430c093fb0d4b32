#include "tolmaren_tools/TextFile.h"

#include <fstream>

#include "tolmaren_tools/ToolError.h"

namespace tolmaren_tools {

void TextFile::write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw ToolError("cannot write " + path);
}

} // namespace tolmaren_tools
