#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "recording/ToolError.h"

namespace tolmaren_recording {

// A flat binary of rows of `T`, written in large
// pieces. Its expected size is reserved up front: allocating a file's blocks
// as it grows costs the file system more than the copying itself. Rows of
// zeros are skipped over rather than written when they are many, leaving a
// hole that reads as zeros.
template <typename T> class SampleFile {
public:
    // Rows of `rowValues` values, written `bytesPerWrite` at a time, into a
    // file created anew at `path`.
    SampleFile(const std::string& path, std::size_t rowValues, std::size_t bytesPerWrite,
               uint64_t expectedRows)
        : path_(path),
          fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)),
          rowValues_(rowValues) {
        if (fd_ < 0) fail();
        // Where reserving is not supported the file simply grows.
        posix_fallocate(fd_, 0, static_cast<off_t>(expectedRows * rowBytes()));
        buffer_.resize(bytesPerWrite / rowBytes() * rowValues);
    }
    ~SampleFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    SampleFile(const SampleFile&) = delete;
    SampleFile& operator=(const SampleFile&) = delete;

    // Room for `rows` more rows, to be filled by the caller.
    T* extend(std::size_t rows) {
        const std::size_t values = rows * rowValues_;
        if (used_ + values > buffer_.size()) flush();
        used_ += values;
        rows_ += rows;
        return buffer_.data() + used_ - values;
    }
    void zeros(uint64_t rows) {
        if (rows * rowValues_ <= buffer_.size()) {
            T* out = extend(static_cast<std::size_t>(rows));
            std::fill(out, out + rows * rowValues_, T(0));
            return;
        }
        flush();
        const uint64_t bytes = rows * rowBytes();
        if (::lseek(fd_, static_cast<off_t>(bytes), SEEK_CUR) < 0) fail();
        size_ += bytes;
        rows_ += rows;
    }
    uint64_t rows() const { return rows_; }
    void flush() {
        const char* bytes = reinterpret_cast<const char*>(buffer_.data());
        std::size_t left = used_ * sizeof(T);
        while (left > 0) {
            const ssize_t written = ::write(fd_, bytes, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) fail();
            bytes += written;
            left -= static_cast<std::size_t>(written);
            size_ += static_cast<uint64_t>(written);
        }
        used_ = 0;
    }
    // Sets the file to the rows written: cuts off what was reserved beyond
    // them and lengthens it over a final hole.
    void close() {
        flush();
        if (::ftruncate(fd_, static_cast<off_t>(size_)) != 0) fail();
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) fail();
    }

private:
    uint64_t rowBytes() const { return rowValues_ * sizeof(T); }
    [[noreturn]] void fail() const {
        throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
    }

    std::string path_;
    int fd_;
    std::size_t rowValues_;
    uint64_t size_ = 0;
    uint64_t rows_ = 0;
    std::vector<T> buffer_;
    std::size_t used_ = 0;
};

} // namespace tolmaren_recording
