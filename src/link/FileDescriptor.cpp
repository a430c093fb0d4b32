#include "link/FileDescriptor.h"

#include <algorithm>

namespace morvek {

namespace {

constexpr unsigned int maxStringLength = 65535;
constexpr unsigned int stringChunk = 4090;
constexpr unsigned int maxLineLength = 65536;

} // namespace

void FileDescriptor::setReadTimeout(unsigned int seconds) {
    readTimeoutMilli_ = seconds * 1000u;
}

void FileDescriptor::setWriteTimeout(unsigned int seconds) {
    writeTimeoutMilli_ = seconds * 1000u;
}

void FileDescriptor::setReadTimeoutMilli(unsigned int milliseconds) {
    readTimeoutMilli_ = milliseconds;
}

void FileDescriptor::setWriteTimeoutMilli(unsigned int milliseconds) {
    writeTimeoutMilli_ = milliseconds;
}

bool FileDescriptor::writen(const char*, unsigned int) {
    throw std::logic_error("unreachable code");
}

bool FileDescriptor::readn(char*, unsigned int) {
    throw std::logic_error("unreachable code");
}

unsigned int FileDescriptor::readSome(char*, unsigned int) {
    throw std::logic_error("unreachable code");
}

bool FileDescriptor::canRead() {
    throw std::logic_error("unreachable code");
}

bool FileDescriptor::readnCounted(char*, unsigned int, unsigned int&) {
    throw std::logic_error("unreachable code");
}

bool FileDescriptor::writenCounted(const char*, unsigned int, unsigned int&) {
    throw std::logic_error("unreachable code");
}

unsigned int FileDescriptor::readAvailable(char*, unsigned int) {
    throw std::logic_error("unreachable code");
}

void FileDescriptor::setTimeout(unsigned int seconds) {
    setReadTimeout(seconds);
    setWriteTimeout(seconds);
}

void FileDescriptor::setTimeoutMilli(unsigned int milliseconds) {
    setReadTimeoutMilli(milliseconds);
    setWriteTimeoutMilli(milliseconds);
}

bool FileDescriptor::writeString(const std::string& s) {
    if (s.size() > maxStringLength)
        throw Exception("string too long for FileDescriptor::writeString");
    const char prefix[2] = {static_cast<char>(s.size() >> 8), static_cast<char>(s.size())};
    if (!writen(prefix, 2)) return false;
    return writen(s.data(), static_cast<unsigned int>(s.size()));
}

bool FileDescriptor::readString(std::string& s) {
    unsigned char prefix[2];
    if (!readn(reinterpret_cast<char*>(prefix), 2)) return false;
    unsigned int remaining = prefix[0] * 256u + prefix[1];
    s.clear();
    char chunk[stringChunk];
    while (remaining > 0) {
        const unsigned int length = std::min(remaining, stringChunk);
        if (!readn(chunk, length)) return false;
        s.append(chunk, length);
        remaining -= length;
    }
    return true;
}

bool FileDescriptor::writeLine(const std::string& s) {
    return writen(s.data(), static_cast<unsigned int>(s.size()));
}

bool FileDescriptor::readLine(std::string& s) {
    s.clear();
    for (;;) {
        char byte;
        if (!readn(&byte, 1)) return false;
        s.push_back(byte);
        if (s.size() >= maxLineLength) throw ReadError("FileDescriptor readLine line too long");
        if (byte == '\n') return true;
    }
}

} // namespace morvek
