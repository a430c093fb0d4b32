#include "recording/PendingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#include "recording/TemporaryFiles.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

PendingFile::PendingFile(std::string path) : path_(std::move(path)) {
    // Another name when one is taken, by a stale file or a planted link.
    for (int attempt = 0;; ++attempt) {
        temporary_ = TemporaryFiles::freshName(path_);
        TemporaryFiles::add(temporary_);
        const int fd =
            ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            file_ = std::make_unique<OutputFile>(temporary_, fd);
            return;
        }
        const int error = errno;
        TemporaryFiles::forget(temporary_);
        if (error != EEXIST || attempt == 100)
            throw ToolError("cannot create " + temporary_ + ": " + std::strerror(error));
    }
}

PendingFile::~PendingFile() {
    if (committed_) return;
    std::remove(temporary_.c_str());
    TemporaryFiles::forget(temporary_);
}

void PendingFile::commit() {
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw ToolError("cannot rename " + temporary_ + " to " + path_ + ": " +
                        std::strerror(errno));
    committed_ = true;
    TemporaryFiles::forget(temporary_);
}

} // namespace tolmaren_recording
