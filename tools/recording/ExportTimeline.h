#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/CodePacket.h"
#include "recording/SampleFile.h"

namespace tolmaren_recording {

// The export's sample files, one row per sample period of the stream's
// timeline, filled from decoded packets in stream order:
// - ap.bin: int16, 384 a row, one row per block counter from a segment's
//   first block to its last, the code minus 512; a block that never arrived
//   or was rejected is a row of 0 (a gap);
// - sync.bin (uint16) and start_trigger.bin (uint8): each AP row's block's
//   synchronization value and start-trigger bit, 0 in a gap;
// - lfp.bin: int16, 384 a row, one row per packet period, a channel whose
//   block is missing 0.
// Segments (the counters restarted, so the time between them is unknown)
// follow each other without rows between them.
class ExportTimeline {
public:
    static constexpr const char* apFile = "ap.bin";
    static constexpr const char* lfpFile = "lfp.bin";
    static constexpr const char* syncFile = "sync.bin";
    static constexpr const char* triggerFile = "start_trigger.bin";

    // Missing AP rows in a segment: the first, and how many.
    struct Gap {
        uint64_t firstRow;
        uint64_t rows;
    };
    struct Segment {
        uint64_t apFirstRow = 0;
        uint64_t apRows = 0;
        uint64_t lfpFirstRow = 0;
        uint64_t lfpRows = 0;
        uint32_t firstBlockCounter = 0; // of its first AP row
        // The place of its first AP row in its packet: LFP row k of the
        // segment is the packet whose place 0 is AP row 12 k - firstPlace.
        unsigned int firstPlace = 0;
    };

    // Files created under `dir`, room reserved for `expectedPackets` packets.
    ExportTimeline(const std::string& dir, uint64_t expectedPackets);

    // The packets in the order the decoder delivers them.
    void add(const CodePacket& packet);
    // Writes the last row and closes the files.
    void close();

    const std::vector<Gap>& gaps() const { return gaps_; }
    const std::vector<Segment>& segments() const { return segments_; }
    uint64_t apRows() const { return ap_.rows(); }
    uint64_t lfpRows() const { return lfp_.rows(); }

private:
    void beginSegment(const CodePacket& packet);
    void endSegment();
    void addBlock(const CodePacket& packet, unsigned int place);
    void addLfp(const CodePacket& packet);

    SampleFile<int16_t> ap_;
    SampleFile<int16_t> lfp_;
    SampleFile<uint16_t> sync_;
    SampleFile<uint8_t> trigger_;
    std::vector<Gap> gaps_;
    std::vector<Segment> segments_;
    uint32_t segment_ = 0;
    int64_t nextPosition_ = 0; // of the next AP row
    int64_t lfpBase_ = 0;      // position of the segment's first packet
    int64_t lfpPeriod_ = 0;    // of the LFP row being gathered
    int16_t lfpRow_[CodePacket::channels];
};

} // namespace tolmaren_recording
