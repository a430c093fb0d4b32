#include "recording/PendingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "recording/ToolError.h"

namespace tolmaren_recording {

PendingFile::PendingFile(std::string path) : path_(std::move(path)), temporary_(path_ + ".part") {}

PendingFile::~PendingFile() {
    if (!committed_) std::remove(temporary_.c_str());
}

void PendingFile::commit() {
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw ToolError("cannot rename " + temporary_ + " to " + path_ + ": " +
                        std::strerror(errno));
    committed_ = true;
}

} // namespace tolmaren_recording
