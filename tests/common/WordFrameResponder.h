#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/LoopbackPeer.h"

// A LoopbackPeer responder that plays the basestation's side of the
// configuration protocol at the frame level, with framing code of its own:
// it takes each complete frame (flag 0x7E, escape 0x7D, XOR 0x20) out of the
// received bytes, hands the request's big-endian 32-bit words to a handler
// and frames the handler's reply words, padded with flags to whole words.
// Frames that are not whole words reach the handler as an empty request.
class WordFrameResponder {
public:
    using Words = std::vector<uint32_t>;
    // Returns the reply words; an empty result sends nothing.
    using Handler = std::function<Words(const Words& request)>;

    explicit WordFrameResponder(Handler handler) : handler_(std::move(handler)) {}

    LoopbackPeer::Bytes operator()(LoopbackPeer::Bytes& pending);

    // The bytes of one framed, padded message of these words.
    static LoopbackPeer::Bytes frame(const Words& words);
    // Frames raw payload bytes (no padding).
    static LoopbackPeer::Bytes frameBytes(const LoopbackPeer::Bytes& payload);

private:
    Handler handler_;
};
