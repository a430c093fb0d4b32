#include "common/WordFrameResponder.h"

#include <algorithm>

namespace {

constexpr unsigned char flag = 0x7E;
constexpr unsigned char escape = 0x7D;

} // namespace

LoopbackPeer::Bytes WordFrameResponder::frameBytes(const LoopbackPeer::Bytes& payload) {
    LoopbackPeer::Bytes out{flag};
    for (unsigned char byte : payload) {
        if (byte == flag || byte == escape) {
            out.push_back(escape);
            out.push_back(static_cast<unsigned char>(byte ^ 0x20));
        } else {
            out.push_back(byte);
        }
    }
    out.push_back(flag);
    return out;
}

LoopbackPeer::Bytes WordFrameResponder::frame(const Words& words) {
    LoopbackPeer::Bytes payload;
    for (uint32_t word : words) {
        for (int shift = 24; shift >= 0; shift -= 8)
            payload.push_back(static_cast<unsigned char>(word >> shift));
    }
    LoopbackPeer::Bytes out = frameBytes(payload);
    while (out.size() % 4 != 0)
        out.push_back(flag);
    return out;
}

LoopbackPeer::Bytes WordFrameResponder::operator()(LoopbackPeer::Bytes& pending) {
    LoopbackPeer::Bytes replies;
    for (;;) {
        // Flags between frames are fill; a payload runs up to the next flag.
        const auto start =
            std::find_if(pending.begin(), pending.end(), [](unsigned char b) { return b != flag; });
        const auto end = std::find(start, pending.end(), flag);
        if (end == pending.end()) {
            pending.erase(pending.begin(), start);
            return replies;
        }
        LoopbackPeer::Bytes payload;
        bool escaped = false;
        for (auto it = start; it != end; ++it) {
            if (*it == escape) {
                escaped = true;
                continue;
            }
            payload.push_back(escaped ? static_cast<unsigned char>(*it ^ 0x20) : *it);
            escaped = false;
        }
        pending.erase(pending.begin(), end);
        Words request;
        if (payload.size() % 4 == 0) {
            for (std::size_t i = 0; i < payload.size(); i += 4)
                request.push_back((uint32_t{payload[i]} << 24) | (uint32_t{payload[i + 1]} << 16) |
                                  (uint32_t{payload[i + 2]} << 8) | payload[i + 3]);
        }
        const Words reply = handler_(request);
        if (!reply.empty()) {
            const LoopbackPeer::Bytes framed = frame(reply);
            replies.insert(replies.end(), framed.begin(), framed.end());
        }
    }
}
