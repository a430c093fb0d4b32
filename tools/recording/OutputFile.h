#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace tolmaren_recording {

// A file this program creates and writes with the system's own calls, so
// that every failure shows at once, in the system's words ("No space left on
// device"), and what was written can be forced to the disk.
class OutputFile {
public:
    // Creates `path` for writing, never over an existing file or through a
    // symbolic link: with `replace` an existing one is removed first, else it
    // is an error. Throws ToolError naming the path and the system's reason.
    OutputFile(const std::string& path, bool replace);
    // Takes over `fd`, a file just created for writing at `path`.
    OutputFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return path_; }
    // Bytes appended so far: the size of the file.
    uint64_t size() const { return size_; }

    // Appends the n bytes. Throws WriteError at the first write that fails,
    // after a short one; what was written stays in the file (and counts in
    // size()).
    void append(const void* bytes, std::size_t n);
    // Overwrites n bytes at the offset, in place (growing the file when they
    // reach beyond its end); throws WriteError.
    void writeAt(uint64_t offset, const void* bytes, std::size_t n);
    // Cuts the file to its first `bytes` bytes; throws WriteError.
    void truncate(uint64_t bytes);
    // Forces the file's data to the disk; throws WriteError.
    void sync();
    // Forces the directory entry of `path` to the disk, so that a new file's
    // name survives a power cut; failures are ignored (some file systems
    // cannot).
    static void syncDirectoryOf(const std::string& path);

private:
    [[noreturn]] void fail(const char* what) const;

    std::string path_;
    int fd_;
    uint64_t size_ = 0;
};

} // namespace tolmaren_recording
