#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolmaren_sim {

// The byte-stuffed framing of the configuration port: flag 0x7E around each
// frame, 0x7D escapes a following byte XOR 0x20. Outgoing frames are padded
// with flags to whole 32-bit words. The receiver delivers complete payloads
// and drops aborted or oversized frames.
class HdlcCodec {
public:
    static constexpr uint8_t flag = 0x7E;
    static constexpr uint8_t escape = 0x7D;
    static constexpr uint8_t escapeMask = 0x20;
    // The largest request: a burst write of 65536 words.
    static constexpr std::size_t maxPayload = (65536 + 3) * 4;

    static std::vector<uint8_t> encode(const std::vector<uint8_t>& payload);
    // The same into `frame`, whose storage is reused from frame to frame.
    static void encode(const std::vector<uint8_t>& payload, std::vector<uint8_t>& frame);

    // Takes received bytes and appends every frame they complete.
    void feed(const uint8_t* data, std::size_t size, std::vector<std::vector<uint8_t>>& frames);
    // Frames dropped since construction: an escape directly before the
    // closing flag, or a payload longer than maxPayload.
    uint64_t droppedFrames() const { return dropped_; }

private:
    enum class State { Hunting, Idle, InFrame, Discarding };

    void endFrame(std::vector<std::vector<uint8_t>>& frames);

    State state_ = State::Hunting;
    bool escaped_ = false;
    std::vector<uint8_t> payload_;
    uint64_t dropped_ = 0;
};

} // namespace tolmaren_sim
