#include "link/HdlcConnectionLink.h"

#include <algorithm>

#include "link/Diagnostics.h"

namespace {

// What one read below takes at most: a reply of a few words arrives in one
// piece, a burst in a few.
constexpr unsigned int receiveChunk = 1u << 16;

} // namespace

HdlcConnectionLink::HdlcConnectionLink(ConnectionLinkIntf* below)
    : HdlcConnectionLink(below, Diagnostics::sink()) {}

HdlcConnectionLink::HdlcConnectionLink(ConnectionLinkIntf* below, DiagnosticsSink& diagnostics)
    : HdlcConnectionLink(below, diagnostics, 1) {}

HdlcConnectionLink::HdlcConnectionLink(ConnectionLinkIntf* below, DiagnosticsSink& diagnostics,
                                       unsigned int frameUnit)
    : below_(below), diagnostics_(diagnostics), frameUnit_(frameUnit), received_(receiveChunk) {}

template <typename Iterator>
std::size_t HdlcConnectionLink::frame(Iterator first, Iterator last, std::size_t length) {
    // Every byte escaped, both flags and the padding: no frame is longer.
    const std::size_t longest = 2 * length + 2 + frameUnit_;
    if (framed_.size() < longest) framed_.resize(longest);
    unsigned char* const start = framed_.data();
    unsigned char* out = start;
    *out++ = flag;
    for (; first != last; ++first) {
        const unsigned char byte = *first;
        if (byte == flag || byte == controlEscape) {
            *out++ = controlEscape;
            *out++ = static_cast<unsigned char>(byte ^ escapeMask);
        } else {
            *out++ = byte;
        }
    }
    *out++ = flag;
    while (static_cast<std::size_t>(out - start) % frameUnit_ != 0)
        *out++ = flag;
    return static_cast<std::size_t>(out - start);
}

bool HdlcConnectionLink::write(ConnectionLinkPacket& packet) {
    const std::size_t length = frame(packet.begin(), packet.end(), packet.size());
    packet.assign(framed_.data(), framed_.data() + length);
    return below_->writeBytes(framed_.data(), length);
}

bool HdlcConnectionLink::writeBytes(const unsigned char* bytes, std::size_t length) {
    const std::size_t framed = frame(bytes, bytes + length, length);
    return below_->writeBytes(framed_.data(), framed);
}

ConnectionLinkPacket HdlcConnectionLink::read(unsigned int length) {
    readInto(length, payload_);
    return ConnectionLinkPacket(reinterpret_cast<char*>(payload_.data()),
                                static_cast<unsigned int>(payload_.size()));
}

// The link below hands over the bytes up to each flag at once, so a reply
// costs a few calls and bytes after a frame's closing flag stay below for the
// next read.
void HdlcConnectionLink::readInto(unsigned int, std::vector<unsigned char>& payload) {
    // Counts every byte so that no stream, flags or data, keeps one call busy
    // or growing for ever.
    unsigned int taken = 0;
    bool started = false; // a byte other than a flag came since the hunt ended
    bool escaped = false;
    payload.clear();
    for (;;) {
        const unsigned int count = below_->readUntilInto(
            flag, received_.data(), std::min(receiveChunk, maxBytesPerRead - taken));
        if (count == 0) {
            payload.clear();
            return;
        }
        taken += count;
        const unsigned char* const bytes = received_.data();
        for (unsigned int k = 0; k < count;) {
            const unsigned char byte = bytes[k++];
            if (hunting_) {
                hunting_ = byte != flag;
            } else if (byte == flag) {
                if (started) return;
            } else if (byte == controlEscape) {
                started = escaped = true;
            } else if (escaped) {
                payload.push_back(static_cast<unsigned char>(byte ^ escapeMask));
                escaped = false;
            } else {
                // The bytes up to the next flag or escape go over at once.
                started = true;
                unsigned int end = k;
                while (end < count && bytes[end] != flag && bytes[end] != controlEscape)
                    ++end;
                payload.insert(payload.end(), bytes + k - 1, bytes + end);
                k = end;
            }
        }
        if (taken >= maxBytesPerRead) {
            if (started) {
                // The rest of this frame is discarded by hunting for its flag.
                hunting_ = true;
                diagnostics_.line() << "HdlcConnectionLink: frame longer than " << maxBytesPerRead
                                    << " bytes dropped\n";
            }
            payload.clear();
            return;
        }
    }
}
