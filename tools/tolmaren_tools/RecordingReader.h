#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tolmaren_tools/CodePacket.h"
#include "tolmaren_tools/CounterContinuity.h"

namespace tolmaren_tools {

// What reading a stream found.
struct StreamCounts {
    uint64_t packets = 0;
    // Blocks that failed their checks or came out of place, plus an
    // incomplete packet at the end of the stream.
    uint64_t decodeErrors = 0;
    uint64_t counterGaps = 0;
};

// Reads a raw recording (electrode blocks back to back, no header) packet by
// packet. A block that fails its checks is skipped and the packet it belonged
// to dropped; reading goes on with the next block of index 0, so one damaged
// block costs one packet. Reads go in chunks small enough to stay in the
// processor's cache.
class RecordingReader {
public:
    static constexpr unsigned int packetBytes = 12 * 612;

    // Throws ToolError when the file does not open, is empty, or does not
    // end on a whole block (a truncated copy).
    explicit RecordingReader(const std::string& path);
    ~RecordingReader();
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    uint64_t fileBytes() const { return fileBytes_; }
    // Packets the file holds when none is damaged.
    uint64_t packetCapacity() const { return fileBytes_ / packetBytes; }
    // False at the end of the file.
    bool next(CodePacket& packet);
    StreamCounts counts() const;

private:
    const unsigned char* nextBlock();

    std::string path_;
    int fd_ = -1;
    uint64_t fileBytes_ = 0;
    std::vector<unsigned char> chunk_;
    std::size_t chunkBytes_ = 0;
    std::size_t offset_ = 0;
    StreamCounts counts_;
    CounterContinuity continuity_;
};

} // namespace tolmaren_tools
