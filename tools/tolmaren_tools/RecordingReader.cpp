#include "tolmaren_tools/RecordingReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tolmaren_tools/ElectrodeBlock.h"
#include "tolmaren_tools/ToolError.h"

namespace tolmaren_tools {

namespace {

// Large enough that a read costs little per byte, small enough for the cache.
constexpr std::size_t chunkPackets = 32;

} // namespace

RecordingReader::RecordingReader(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)),
      chunk_(chunkPackets * packetBytes) {
    if (fd_ < 0) throw ToolError("cannot open " + path + ": " + std::strerror(errno));
    struct stat status {};
    if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd_);
        throw ToolError(path + " is not a regular file");
    }
    fileBytes_ = static_cast<uint64_t>(status.st_size);
    const uint64_t tail = fileBytes_ % ElectrodeBlock::bytes;
    if (fileBytes_ == 0 || tail != 0) ::close(fd_);
    if (fileBytes_ == 0) throw ToolError(path + " holds no data");
    if (tail != 0)
        throw ToolError(path + " is truncated: it ends " + std::to_string(tail) +
                        " bytes into an electrode block of 612 bytes");
}

RecordingReader::~RecordingReader() {
    ::close(fd_);
}

const unsigned char* RecordingReader::nextBlock() {
    if (offset_ == chunkBytes_) {
        offset_ = 0;
        chunkBytes_ = 0;
        // A read may return less than asked; only whole blocks are decoded.
        do {
            const ssize_t count =
                ::read(fd_, chunk_.data() + chunkBytes_, chunk_.size() - chunkBytes_);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) throw ToolError("cannot read " + path_ + ": " + std::strerror(errno));
            if (count == 0) break;
            chunkBytes_ += static_cast<std::size_t>(count);
        } while (chunkBytes_ % ElectrodeBlock::bytes != 0);
        if (chunkBytes_ % ElectrodeBlock::bytes != 0)
            throw ToolError(path_ + " changed while it was read");
        if (chunkBytes_ == 0) return nullptr;
    }
    const unsigned char* block = chunk_.data() + offset_;
    offset_ += ElectrodeBlock::bytes;
    return block;
}

bool RecordingReader::next(CodePacket& packet) {
    unsigned int place = 0;
    while (const unsigned char* block = nextBlock()) {
        if (ElectrodeBlock::decode(block, place, packet)) {
            continuity_.next(packet.counter[place][0]);
            if (++place == CodePacket::blocks) {
                ++counts_.packets;
                return true;
            }
            continue;
        }
        ++counts_.decodeErrors;
        // A sound first block that cuts a packet short begins the next one.
        const bool insidePacket = place != 0;
        place = 0;
        if (insidePacket && ElectrodeBlock::decode(block, 0, packet)) {
            continuity_.next(packet.counter[0][0]);
            place = 1;
        }
    }
    if (place != 0) ++counts_.decodeErrors;
    return false;
}

StreamCounts RecordingReader::counts() const {
    StreamCounts counts = counts_;
    counts.counterGaps = continuity_.gaps();
    return counts;
}

} // namespace tolmaren_tools
