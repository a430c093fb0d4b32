#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/BlockSource.h"
#include "data/CodePacket.h"
#include "data/StreamCounts.h"
#include "data/StreamDecoder.h"

namespace tolmaren_recording {

// Reads a raw recording (electrode blocks back to back, no header) through
// the library's stream decoder, with the block counter followed: packets
// whole or abandoned, in stream order, every gap counted. The file is read in
// chunks small enough to stay in the processor's cache. A file that ends
// inside a block is read up to its last whole block.
class RecordingReader {
public:
    static constexpr unsigned int blockBytes = 612;
    static constexpr unsigned int packetBytes = 12 * blockBytes;

    // Throws ToolError when the file does not open, is not a regular file or
    // is empty.
    explicit RecordingReader(const std::string& path);
    ~RecordingReader();
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    const std::string& path() const { return source_.path; }
    uint64_t fileBytes() const { return source_.fileBytes; }
    // Bytes after the last whole block: a copy cut short.
    uint64_t leftoverBytes() const { return source_.fileBytes % blockBytes; }
    // Packets the file holds when none is damaged, a last one cut short
    // included.
    uint64_t packetCapacity() const { return (source_.fileBytes + packetBytes - 1) / packetBytes; }
    // A warning line that the file ends inside a block, saying how many
    // bytes are left over; empty when it ends with a whole block.
    std::string leftoverWarning() const;
    // The next packet, valid until the next call; null at the end of the
    // file, however long a damaged stretch before it. Throws ToolError when
    // the file cannot be read.
    const CodePacket* next();
    const StreamCounts& counts() const { return decoder_.counts(); }
    // Throws ToolError when no block has passed its checks: the file is not a
    // recording, or nothing of it survived.
    void requireBlocks() const;
    StreamDecoder& decoder() { return decoder_; }

private:
    struct FileSource : BlockSource {
        std::string path;
        int fd = -1;
        uint64_t fileBytes = 0;
        uint64_t left = 0; // whole-block bytes not yet read from the file
        std::vector<unsigned char> chunk;
        std::size_t filled = 0;
        std::size_t offset = 0;

        const unsigned char* take(unsigned int n) override;
        bool ended() const override { return left == 0 && offset == filled; }
    };

    FileSource source_;
    StreamDecoder decoder_;
};

} // namespace tolmaren_recording
