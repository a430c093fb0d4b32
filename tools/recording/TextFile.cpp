#include "recording/TextFile.h"

#include "recording/OutputFile.h"

namespace tolmaren_recording {

void TextFile::write(const std::string& path, const std::string& text) {
    OutputFile file(path, false);
    file.append(text.data(), text.size());
}

} // namespace tolmaren_recording
