#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file that came from elsewhere, opened for reading only when it is a
// regular file. Opening a FIFO waits for a writer and a device may never
// end, so anything else is refused before it is opened, and again on the
// opened descriptor should the name have changed meanwhile. Links are
// followed: a link to a recording or a chain file is common and harmless.
class RegularFile {
public:
    enum class Status {
        Open,
        Missing,    // no such file
        Unreadable, // cannot be opened or read: the system's reason in problem()
        NotRegular, // a FIFO, device, socket or directory
        TooLarge,   // more bytes than the reader accepts
    };

    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    Status status() const { return status_; }
    // Why the file cannot be read, naming it: "cannot open x.csv: Permission
    // denied", "x.csv is a FIFO, not a regular file", "x.csv is too large:
    // 104857600 bytes, more than the 262144 bytes accepted". Empty while the file is usable.
    const std::string& problem() const { return problem_; }
    // The size when it was opened.
    uint64_t size() const { return size_; }

    // The whole file when it holds at most maxBytes; else false, and the
    // status says why. Never reads more than maxBytes + 1 bytes, so a file
    // that grows while it is read costs no more.
    bool readAll(std::size_t maxBytes, std::string& text);
    // Its first maxBytes bytes, or all of it when it is shorter.
    bool readStart(std::size_t maxBytes, std::string& text);
    // The open descriptor, handed over: the caller closes it. -1 unless open.
    int release();

private:
    bool readUpTo(std::size_t limit, std::string& text);
    void fail(Status status, const std::string& problem);

    std::string path_;
    int fd_ = -1;
    Status status_ = Status::Open;
    std::string problem_;
    uint64_t size_ = 0;
};
