#include "sim/HdlcCodec.h"

#include <algorithm>

namespace tolmaren_sim {

std::vector<uint8_t> HdlcCodec::encode(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame;
    encode(payload, frame);
    return frame;
}

void HdlcCodec::encode(const std::vector<uint8_t>& payload, std::vector<uint8_t>& frame) {
    // Every byte escaped, both flags and the padding: the frame cannot be longer.
    frame.resize(2 * payload.size() + 5);
    uint8_t* out = frame.data();
    *out++ = flag;
    for (uint8_t byte : payload) {
        if (byte == flag || byte == escape) {
            *out++ = escape;
            *out++ = byte ^ escapeMask;
        } else {
            *out++ = byte;
        }
    }
    *out++ = flag;
    while ((out - frame.data()) % 4 != 0)
        *out++ = flag;
    frame.resize(static_cast<std::size_t>(out - frame.data()));
}

void HdlcCodec::feed(const uint8_t* data, std::size_t size,
                     std::vector<std::vector<uint8_t>>& frames) {
    for (std::size_t i = 0; i < size; ++i) {
        const uint8_t byte = data[i];
        switch (state_) {
        case State::Hunting:
            if (byte == flag) state_ = State::Idle;
            break;
        case State::Discarding:
            if (byte == flag) state_ = State::Idle;
            break;
        case State::Idle:
        case State::InFrame:
            if (byte == flag) {
                if (state_ == State::InFrame) endFrame(frames);
                break;
            }
            state_ = State::InFrame;
            if (byte == escape) {
                escaped_ = true;
                break;
            }
            if (payload_.size() == maxPayload) {
                ++dropped_;
                payload_.clear();
                escaped_ = false;
                state_ = State::Discarding;
                break;
            }
            if (escaped_) {
                payload_.push_back(byte ^ escapeMask);
                escaped_ = false;
                break;
            }
            // The bytes up to the next flag or escape go over at once, as far
            // as the payload has room.
            std::size_t end = i + 1;
            const std::size_t last = std::min(size, i + (maxPayload - payload_.size()));
            while (end < last && data[end] != flag && data[end] != escape)
                ++end;
            payload_.insert(payload_.end(), data + i, data + end);
            i = end - 1;
            break;
        }
    }
}

void HdlcCodec::endFrame(std::vector<std::vector<uint8_t>>& frames) {
    if (escaped_ || payload_.empty())
        ++dropped_;
    else
        frames.emplace_back(payload_.begin(), payload_.end()); // payload_ keeps its capacity
    payload_.clear();
    escaped_ = false;
    state_ = State::Idle;
}

} // namespace tolmaren_sim
