#include "recording/RecordingReader.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "api/RegularFile.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

// Large enough that a read costs little per byte, small enough for the cache.
constexpr std::size_t chunkPackets = 32;

} // namespace

RecordingReader::RecordingReader(const std::string& path) : decoder_(&source_) {
    source_.path = path;
    RegularFile file(path);
    if (file.status() != RegularFile::Status::Open) throw ToolError(file.problem());
    if (file.size() == 0) throw ToolError(path + " holds no data");
    source_.fileBytes = file.size();
    source_.fd = file.release();
    source_.left = source_.fileBytes - source_.fileBytes % blockBytes;
    source_.chunk.resize(chunkPackets * packetBytes);
}

const CodePacket* RecordingReader::next() {
    for (;;) {
        if (const CodePacket* packet = decoder_.next()) return packet;
        if (decoder_.ended()) return nullptr;
    }
}

std::string RecordingReader::leftoverWarning() const {
    if (leftoverBytes() == 0) return "";
    return "warning: " + source_.path + " ends inside a block: " + std::to_string(leftoverBytes()) +
           " bytes after its last whole block are left over (a copy cut short?)";
}

void RecordingReader::requireBlocks() const {
    if (counts().blocks == 0)
        throw ToolError(source_.path + " holds no valid block of neural data");
}

RecordingReader::~RecordingReader() {
    ::close(source_.fd);
}

const unsigned char* RecordingReader::FileSource::take(unsigned int n) {
    if (filled - offset < n) {
        // Whole blocks only: a read may return less than asked.
        std::memmove(chunk.data(), chunk.data() + offset, filled - offset);
        filled -= offset;
        offset = 0;
        while (filled < n && left > 0) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<uint64_t>(left, chunk.size() - filled));
            const ssize_t count = ::read(fd, chunk.data() + filled, want);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
            if (count == 0) throw ToolError(path + " became shorter while it was read");
            filled += static_cast<std::size_t>(count);
            left -= static_cast<uint64_t>(count);
        }
        if (filled < n) {
            offset = filled;
            return nullptr;
        }
    }
    const unsigned char* bytes = chunk.data() + offset;
    offset += n;
    return bytes;
}

} // namespace tolmaren_recording
