#include "recording/TextFile.h"

#include "recording/OutputFile.h"
#include "recording/PendingFile.h"

namespace tolmaren_recording {

void TextFile::write(const std::string& path, const std::string& text) {
    OutputFile file(path, false);
    file.append(text.data(), text.size());
}

void TextFile::replace(const std::string& path, const std::string& text) {
    PendingFile file(path);
    file.file().append(text.data(), text.size());
    file.file().sync();
    file.commit();
}

} // namespace tolmaren_recording
