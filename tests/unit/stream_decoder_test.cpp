// The stream decoder on damaged streams: where each block lands on the
// timeline, which packets come out whole or abandoned, and the counts; a pause
// of the source in the middle of a packet; and the recording reader on files
// that do not end on a block.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"
#include "data/StreamDecoder.h"
#include "recording/RecordingReader.h"
#include "recording/ToolError.h"

namespace {

constexpr unsigned int blockSize = 612;

// Serves blocks from memory; a pause before the blocks in `pauses` gives one
// null first, as a live link whose stream stalled.
struct MemorySource : BlockSource {
    std::vector<unsigned char> bytes;
    std::set<std::size_t> pauses;
    std::size_t at = 0;

    const unsigned char* take(unsigned int n) override {
        if (pauses.erase(at / blockSize) > 0 || at + n > bytes.size()) return nullptr;
        at += n;
        return bytes.data() + at - n;
    }
    bool ended() const override { return pauses.empty() && at + blockSize > bytes.size(); }
};

std::vector<unsigned char> countingStream(unsigned int packets, uint32_t first = 0) {
    return StreamBuilder().electrodePackets(packets).countBlocks(first).data();
}

void erase(std::vector<unsigned char>& bytes, unsigned int block, unsigned int count) {
    bytes.erase(bytes.begin() + block * blockSize, bytes.begin() + (block + count) * blockSize);
}

// The packets as "position:present" in hex, e.g. "0:fff 12:3f".
std::string timeline(StreamDecoder& decoder) {
    std::string out;
    char entry[48];
    while (const CodePacket* p = decoder.next()) {
        std::snprintf(entry, sizeof entry, "%s%lld:%x", out.empty() ? "" : " ",
                      static_cast<long long>(p->position), p->present);
        out += entry;
    }
    return out;
}

struct Damage {
    const char* name;
    void (*apply)(MemorySource&);
    const char* timeline;
    StreamCounts counts; // packets, blocks, rejected, abandoned, gaps, lost, segments
};

TEST(StreamDecoder, PlacesEveryBlockOnTheTimelineAndCountsWhatWasLost) {
    const Damage damages[] = {
        {"clean", [](MemorySource&) {}, "0:fff 12:fff 24:fff 36:fff", {4, 48, 0, 0, 0, 0, 1}},
        {"6 blocks lost at places 6-11: the next packet is whole",
         [](MemorySource& s) { erase(s.bytes, 6, 6); },
         "0:3f 12:fff 24:fff 36:fff",
         {3, 42, 0, 1, 1, 6, 1}},
        {"12 blocks lost at place 6: two halves, never one spliced packet",
         [](MemorySource& s) { erase(s.bytes, 6, 12); },
         "0:3f 12:fc0 24:fff 36:fff",
         {2, 36, 0, 2, 1, 12, 1}},
        {"a marker flipped in block 17: only that block goes",
         [](MemorySource& s) { s.bytes[17 * blockSize + 300] |= 0x80; },
         "0:fff 12:fdf 24:fff 36:fff",
         {3, 47, 1, 1, 1, 1, 1}},
        {"a marker flipped in an LFP word of block 17",
         [](MemorySource& s) { s.bytes[17 * blockSize + 28] |= 0x40; },
         "0:fff 12:fdf 24:fff 36:fff",
         {3, 47, 1, 1, 1, 1, 1}},
        {"bit 29 set in a counter word of block 17",
         [](MemorySource& s) { s.bytes[17 * blockSize + 64] |= 0x20; },
         "0:fff 12:fdf 24:fff 36:fff",
         {3, 47, 1, 1, 1, 1, 1}},
        {"a marker flipped in the last word of block 17",
         [](MemorySource& s) { s.bytes[17 * blockSize + 608] |= 0x40; },
         "0:fff 12:fdf 24:fff 36:fff",
         {3, 47, 1, 1, 1, 1, 1}},
        {"a stream that begins mid-packet",
         [](MemorySource& s) { erase(s.bytes, 0, 5); },
         "0:fe0 12:fff 24:fff 36:fff",
         {3, 43, 0, 1, 0, 0, 1}},
        {"pauses of the source inside and between packets cost nothing",
         [](MemorySource& s) {
             s.pauses = {7, 24, 31};
         },
         "0:fff 12:fff 24:fff 36:fff",
         {4, 48, 0, 0, 0, 0, 1}},
        {"a restart of the counters begins a segment, not a gap",
         [](MemorySource& s) {
             const auto again = countingStream(2);
             s.bytes.resize(2 * 12 * blockSize);
             s.bytes.insert(s.bytes.end(), again.begin(), again.end());
         },
         "0:fff 12:fff 0:fff 12:fff",
         {4, 48, 0, 0, 0, 0, 2}},
        {"the 24-bit counter wraps without a gap",
         [](MemorySource& s) { s.bytes = countingStream(4, 0xFFFFFF - 29); },
         "16777186:fff 16777198:fff 16777210:fff 16777222:fff",
         {4, 48, 0, 0, 0, 0, 1}},
        {"the stream ends inside a block",
         [](MemorySource& s) { s.bytes.resize(s.bytes.size() - 300); },
         "0:fff 12:fff 24:fff 36:7ff",
         {3, 47, 0, 1, 0, 0, 1}},
    };
    // A reader that only counts checks the blocks without decoding them,
    // with the same outcome.
    for (const Damage& damage : damages)
        for (const bool codes : {true, false}) {
            SCOPED_TRACE(std::string(damage.name) + (codes ? "" : ", checked only"));
            MemorySource source;
            source.bytes = countingStream(4);
            damage.apply(source);
            StreamDecoder decoder(&source);
            decoder.decodeCodes(codes);
            std::string got;
            // A pause gives null; the decoder goes on once blocks come again.
            while (!decoder.ended()) {
                const std::string more = timeline(decoder);
                got += (got.empty() || more.empty() ? "" : " ") + more;
            }
            EXPECT_EQ(got, damage.timeline);
            EXPECT_TRUE(decoder.counts() == damage.counts)
                << decoder.counts().packets << " " << decoder.counts().blocks << " "
                << decoder.counts().blocksRejected << " " << decoder.counts().packetsAbandoned
                << " " << decoder.counts().gaps << " " << decoder.counts().blocksLost << " "
                << decoder.counts().segments;
        }
}

TEST(StreamDecoder, GivesUpOnDamageAfterASecondOfBlocksAndReadsFilesToTheirLastBlock) {
    MemorySource garbage;
    garbage.bytes.assign((StreamDecoder::rejectLimit + 5) * blockSize, 0xFF);
    StreamDecoder decoder(&garbage);
    EXPECT_EQ(decoder.next(), nullptr);
    EXPECT_EQ(decoder.rejectedInARow(), StreamDecoder::rejectLimit);
    EXPECT_FALSE(decoder.ended());
    EXPECT_EQ(decoder.next(), nullptr);
    EXPECT_TRUE(decoder.ended());
    EXPECT_EQ(decoder.counts().blocksRejected, StreamDecoder::rejectLimit + 5u);

    ScopedWorkDir dir;
    const auto bytes = countingStream(2);
    std::ofstream("cut.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size() - 100));
    tolmaren_recording::RecordingReader reader("cut.bin");
    EXPECT_EQ(reader.leftoverBytes(), blockSize - 100);
    EXPECT_EQ(timeline(reader.decoder()), "0:fff 12:7ff");
    std::ofstream("empty.bin");
    for (const char* file : {"missing.bin", "empty.bin", "."})
        EXPECT_THROW(tolmaren_recording::RecordingReader{file}, tolmaren_recording::ToolError)
            << file;
}

} // namespace
