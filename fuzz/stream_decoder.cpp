// The stream decoder on any bytes, two ways at once: from a file through the
// recording reader, and from memory with pauses among the blocks (the first
// byte picks every how many blocks the source stalls once, and whether the
// block counter is followed). Both must deliver the same packets and counts,
// each packet's blocks must add up to the counts, and a pause must cost
// nothing.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "data/StreamDecoder.h"
#include "recording/RecordingReader.h"

namespace {

constexpr unsigned int blockBytes = 612;

struct PausingSource : BlockSource {
    const uint8_t* bytes;
    std::size_t size;
    unsigned int every;
    std::size_t at = 0;
    unsigned int taken = 0;
    bool paused = false;

    const unsigned char* take(unsigned int n) override {
        if (every != 0 && !paused && taken % every == every - 1) {
            paused = true;
            return nullptr;
        }
        paused = false;
        if (at + n > size) return nullptr;
        ++taken;
        at += n;
        return bytes + at - n;
    }
    bool ended() const override { return !paused && at + blockBytes > size; }
};

const std::string& recordingFile() {
    static const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                    "/fuzz_stream_" + std::to_string(getpid()) + ".bin";
    return path;
}

// The next packet, or null once the decoder has nothing more to give.
const CodePacket* nextOf(StreamDecoder& decoder) {
    for (;;) {
        if (const CodePacket* packet = decoder.next()) return packet;
        if (decoder.ended()) return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t plan = data[0];
    std::ofstream(recordingFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    tolmaren_recording::RecordingReader reader(recordingFile());
    PausingSource source;
    source.bytes = data + 1;
    source.size = size - 1;
    source.every = plan & 0x3F;
    StreamDecoder decoder(&source);
    const bool follow = (plan & 0x40) == 0;
    decoder.followBlockCounter(follow);
    reader.decoder().followBlockCounter(follow);

    uint64_t blocks = 0, delivered = 0;
    while (const CodePacket* fromFile = reader.next()) {
        const CodePacket* fromMemory = nextOf(decoder);
        if (fromMemory == nullptr || fromMemory->present != fromFile->present ||
            fromMemory->position != fromFile->position ||
            fromMemory->segment != fromFile->segment || fromFile->present == 0 ||
            fromFile->present > CodePacket::allBlocks)
            std::abort();
        for (unsigned int b = 0; b < CodePacket::blocks; ++b)
            if (fromFile->has(b) && fromFile->ap[b][0] != fromMemory->ap[b][0]) std::abort();
        blocks += static_cast<unsigned int>(__builtin_popcount(fromFile->present));
        ++delivered;
    }
    if (nextOf(decoder) != nullptr) std::abort();
    const StreamCounts& counts = reader.counts();
    if (counts != decoder.counts() || counts.blocks != blocks ||
        counts.packets + counts.packetsAbandoned != delivered ||
        counts.blocks + counts.blocksRejected != (size - 1) / blockBytes ||
        (!follow && (counts.gaps != 0 || counts.blocksLost != 0)))
        std::abort();
    return 0;
}
