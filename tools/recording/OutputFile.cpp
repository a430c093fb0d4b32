#include "recording/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "recording/WriteError.h"

namespace tolmaren_recording {

OutputFile::OutputFile(const std::string& path, bool replace) : path_(path) {
    if (replace && ::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw ToolError("cannot replace " + path + ": " + std::strerror(errno));
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        const int error = errno;
        throw ToolError("cannot create " + path + ": " + std::strerror(error) +
                        (error == EEXIST ? " (it is not overwritten)" : ""));
    }
}

OutputFile::~OutputFile() {
    ::close(fd_);
}

void OutputFile::fail(const char* what) const {
    const int error = errno;
    throw WriteError(std::string("cannot ") + what + " " + path_ + ": " + std::strerror(error),
                     error);
}

void OutputFile::append(const void* bytes, std::size_t n) {
    const auto* at = static_cast<const char*>(bytes);
    while (n > 0) {
        const ssize_t written = ::write(fd_, at, n);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail("write");
        }
        at += written;
        n -= static_cast<std::size_t>(written);
        size_ += static_cast<uint64_t>(written);
    }
}

void OutputFile::writeAt(uint64_t offset, const void* bytes, std::size_t n) {
    const auto* at = static_cast<const char*>(bytes);
    while (n > 0) {
        const ssize_t written = ::pwrite(fd_, at, n, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            fail("write");
        }
        at += written;
        n -= static_cast<std::size_t>(written);
        offset += static_cast<uint64_t>(written);
        if (offset > size_) size_ = offset;
    }
}

void OutputFile::truncate(uint64_t bytes) {
    if (::ftruncate(fd_, static_cast<off_t>(bytes)) != 0) fail("truncate");
    size_ = bytes;
}

void OutputFile::sync() {
    if (::fdatasync(fd_) != 0) fail("sync");
}

void OutputFile::syncDirectoryOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const int fd =
        ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace tolmaren_recording
