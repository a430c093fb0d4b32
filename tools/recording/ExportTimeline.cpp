#include "recording/ExportTimeline.h"

#include <algorithm>

#include "data/VectorClones.h"
#include "recording/RecordingInfo.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the export writes samples in host order and declares them little-endian");

namespace tolmaren_recording {

namespace {

constexpr unsigned int blocks = CodePacket::blocks;
constexpr unsigned int channels = CodePacket::channels;
constexpr int16_t zero = RecordingInfo::adcZeroCode;
constexpr uint32_t counterMask = 0xFFFFFF;
// Bytes gathered before one write to a file: the AP samples of 32 packets,
// few enough that the buffer stays in the processor's cache, enough that a
// write costs little.
constexpr std::size_t bytesPerWrite = 32 * blocks * channels * sizeof(int16_t);

// Codes as signed values around the ADC's mid-scale. The pointers never
// overlap; saying so lets the compiler vectorise the loop.
TOLMAREN_VECTOR_CLONES
void centre(const uint16_t* __restrict codes, unsigned int count, int16_t* __restrict out) {
    for (unsigned int i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(codes[i] - zero);
}

std::string in(const std::string& dir, const char* name) {
    return dir + "/" + name;
}

} // namespace

ExportTimeline::ExportTimeline(const std::string& dir, uint64_t expectedPackets)
    : ap_(in(dir, apFile), channels, bytesPerWrite, expectedPackets * blocks),
      lfp_(in(dir, lfpFile), channels, bytesPerWrite, expectedPackets),
      sync_(in(dir, syncFile), 1, bytesPerWrite, expectedPackets * blocks),
      trigger_(in(dir, triggerFile), 1, bytesPerWrite, expectedPackets * blocks) {}

void ExportTimeline::add(const CodePacket& packet) {
    if (segments_.empty() || packet.segment != segment_) beginSegment(packet);
    if (packet.whole() && packet.position == nextPosition_) {
        centre(&packet.ap[0][0], blocks * channels, ap_.extend(blocks));
        uint16_t* sync = sync_.extend(blocks);
        uint8_t* trigger = trigger_.extend(blocks);
        for (unsigned int b = 0; b < blocks; ++b) {
            sync[b] = packet.synchronization[b];
            trigger[b] = packet.startTrigger[b];
        }
        nextPosition_ += blocks;
    } else {
        for (unsigned int b = 0; b < blocks; ++b)
            if (packet.has(b)) addBlock(packet, b);
    }
    addLfp(packet);
}

void ExportTimeline::beginSegment(const CodePacket& packet) {
    if (!segments_.empty()) endSegment();
    Segment segment;
    segment.apFirstRow = ap_.rows();
    segment.lfpFirstRow = lfp_.rows();
    segment.firstPlace = static_cast<unsigned int>(__builtin_ctz(packet.present));
    nextPosition_ = packet.position + segment.firstPlace;
    segment.firstBlockCounter = static_cast<uint32_t>(nextPosition_) & counterMask;
    segments_.push_back(segment);
    segment_ = packet.segment;
    lfpBase_ = packet.position;
    lfpPeriod_ = 0;
    std::fill(lfpRow_, lfpRow_ + channels, int16_t(0));
}

void ExportTimeline::endSegment() {
    std::copy(lfpRow_, lfpRow_ + channels, lfp_.extend(1));
    Segment& segment = segments_.back();
    segment.apRows = ap_.rows() - segment.apFirstRow;
    segment.lfpRows = lfp_.rows() - segment.lfpFirstRow;
}

void ExportTimeline::addBlock(const CodePacket& packet, unsigned int place) {
    const int64_t position = packet.position + place;
    // Within a segment the decoder delivers blocks at rising positions.
    if (position > nextPosition_) {
        const auto missing = static_cast<uint64_t>(position - nextPosition_);
        gaps_.push_back({ap_.rows(), missing});
        ap_.zeros(missing);
        sync_.zeros(missing);
        trigger_.zeros(missing);
    }
    centre(packet.ap[place], channels, ap_.extend(1));
    *sync_.extend(1) = packet.synchronization[place];
    *trigger_.extend(1) = packet.startTrigger[place];
    nextPosition_ = position + 1;
}

void ExportTimeline::addLfp(const CodePacket& packet) {
    // The nearest packet period: a block whose index disagrees with its
    // counter makes a packet that lies off the segment's packet grid.
    const int64_t period = (packet.position - lfpBase_ + blocks / 2) / blocks;
    // Its row is written already.
    if (period < lfpPeriod_) return;
    if (period > lfpPeriod_) {
        std::copy(lfpRow_, lfpRow_ + channels, lfp_.extend(1));
        lfp_.zeros(static_cast<uint64_t>(period - lfpPeriod_ - 1));
        std::fill(lfpRow_, lfpRow_ + channels, int16_t(0));
        lfpPeriod_ = period;
    }
    if (packet.whole()) {
        centre(packet.lfp, channels, lfpRow_);
        return;
    }
    for (unsigned int c = 0; c < channels; ++c)
        if (packet.has(CodePacket::lfpPlace(c)))
            lfpRow_[c] = static_cast<int16_t>(packet.lfp[c] - zero);
}

void ExportTimeline::close() {
    if (!segments_.empty()) endSegment();
    ap_.close();
    lfp_.close();
    sync_.close();
    trigger_.close();
}

} // namespace tolmaren_recording
