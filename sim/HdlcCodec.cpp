#include "sim/HdlcCodec.h"

namespace tolmaren_sim {

std::vector<uint8_t> HdlcCodec::encode(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + payload.size() / 8 + 8);
    frame.push_back(flag);
    for (uint8_t byte : payload) {
        if (byte == flag || byte == escape) {
            frame.push_back(escape);
            frame.push_back(byte ^ escapeMask);
        } else {
            frame.push_back(byte);
        }
    }
    frame.push_back(flag);
    while (frame.size() % 4 != 0)
        frame.push_back(flag);
    return frame;
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
            payload_.push_back(escaped_ ? byte ^ escapeMask : byte);
            escaped_ = false;
            break;
        }
    }
}

void HdlcCodec::endFrame(std::vector<std::vector<uint8_t>>& frames) {
    if (escaped_ || payload_.empty())
        ++dropped_;
    else
        frames.push_back(std::move(payload_));
    payload_.clear();
    escaped_ = false;
    state_ = State::Idle;
}

} // namespace tolmaren_sim
