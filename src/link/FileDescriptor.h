#pragma once

#include <stdexcept>
#include <string>

namespace morvek {

// A byte channel with optional read and write time-outs, and the whole-buffer,
// length-prefixed-string and line operations built on its primitives. A
// time-out is reported by a false result, a failure by an exception.
class FileDescriptor {
public:
    class Exception : public std::runtime_error {
    public:
        explicit Exception(const std::string& message) : std::runtime_error(message) {}
    };
    class ReadError : public Exception {
    public:
        explicit ReadError(const std::string& message) : Exception(message) {}
    };
    class WriteError : public Exception {
    public:
        explicit WriteError(const std::string& message) : Exception(message) {}
    };

    FileDescriptor() = default;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    virtual ~FileDescriptor() = default;

    // Time-outs bound each single wait; 0 waits without limit.
    virtual void setReadTimeout(unsigned int seconds);
    virtual void setWriteTimeout(unsigned int seconds);
    virtual void setReadTimeoutMilli(unsigned int milliseconds);
    virtual void setWriteTimeoutMilli(unsigned int milliseconds);

    virtual bool writen(const char* buffer, unsigned int length);
    virtual bool readn(char* buffer, unsigned int length);
    virtual unsigned int readSome(char* buffer, unsigned int length);
    virtual bool canRead();
    virtual void close() {}
    // As readn and writen, and `done` counts the bytes as they go through, so
    // it also tells how far a call got that timed out (false) or threw: a
    // caller that must lose or repeat no byte goes on from there.
    virtual bool readnCounted(char* buffer, unsigned int length, unsigned int& done);
    virtual bool writenCounted(const char* buffer, unsigned int length, unsigned int& done);
    // What has arrived, at least one byte and at most length, without waiting
    // for more; waits for the first byte as long as the read time-out allows
    // and gives 0 when it passes.
    virtual unsigned int readAvailable(char* buffer, unsigned int length);

    void setTimeout(unsigned int seconds);
    void setTimeoutMilli(unsigned int milliseconds);

    // A string of at most 65535 bytes behind a 2-byte big-endian length.
    bool writeString(const std::string& s);
    bool readString(std::string& s);
    // The bytes of s exactly; the caller supplies the line end.
    bool writeLine(const std::string& s);
    // One line including its "\n"; at most 65535 bytes.
    bool readLine(std::string& s);

protected:
    unsigned int readTimeoutMilli_ = 0;
    unsigned int writeTimeoutMilli_ = 0;
};

} // namespace morvek
