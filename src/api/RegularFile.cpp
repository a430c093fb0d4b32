#include "api/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISDIR(mode)) return "a directory";
    return "not a plain file";
}

} // namespace

RegularFile::RegularFile(const std::string& path) : path_(path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        fail(errno == ENOENT ? Status::Missing : Status::Unreadable,
             "cannot open " + path + ": " + std::strerror(errno));
        return;
    }
    if (!S_ISREG(status.st_mode)) {
        fail(Status::NotRegular, path + " is " + kindOf(status.st_mode) + ", not a regular file");
        return;
    }
    // Without blocking, should the name have become a FIFO since.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        fail(errno == ENOENT ? Status::Missing : Status::Unreadable,
             "cannot open " + path + ": " + std::strerror(errno));
        return;
    }
    if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
        fail(Status::NotRegular, path + " is " + kindOf(status.st_mode) + ", not a regular file");
        return;
    }
    // Reads of a regular file never block; the flag is cleared for
    // whoever takes the descriptor.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = static_cast<uint64_t>(status.st_size);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool RegularFile::readAll(std::size_t maxBytes, std::string& text) {
    if (status_ != Status::Open) return false;
    if (size_ <= maxBytes && readUpTo(maxBytes + 1, text) && text.size() <= maxBytes) return true;
    if (status_ == Status::Open) {
        const std::string held = size_ > maxBytes ? std::to_string(size_) + " bytes, " : "";
        fail(Status::TooLarge, path_ + " is too large: " + held + "more than the " +
                                   std::to_string(maxBytes) + " bytes accepted");
    }
    text.clear();
    return false;
}

bool RegularFile::readStart(std::size_t maxBytes, std::string& text) {
    return status_ == Status::Open && readUpTo(maxBytes, text);
}

int RegularFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return status_ == Status::Open ? fd : -1;
}

bool RegularFile::readUpTo(std::size_t limit, std::string& text) {
    text.assign(static_cast<std::size_t>(std::min<uint64_t>(size_, limit)), '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            // A file may hold more than its size said (or be one of the
            // system's whose size is 0): look on in small steps.
            if (got == limit) break;
            text.resize(std::min<std::size_t>(limit, got + 4096));
        }
        const ssize_t n = ::read(fd_, &text[got], text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            fail(Status::Unreadable, "cannot read " + path_ + ": " + std::strerror(errno));
            text.clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return true;
}

void RegularFile::fail(Status status, const std::string& problem) {
    status_ = status;
    problem_ = problem;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}
