#include "api/LoopbackSequence.h"

#include <algorithm>
#include <vector>

namespace {

// Words encoded or checked at a time: large enough for block copies in and
// out of the packet's deque, small enough to stay in the cache.
constexpr uint32_t sliceWords = 16384;

void encode(uint32_t first, uint32_t count, unsigned char* bytes) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t value = first + i;
        bytes[4 * i] = static_cast<unsigned char>(value >> 24);
        bytes[4 * i + 1] = static_cast<unsigned char>(value >> 16);
        bytes[4 * i + 2] = static_cast<unsigned char>(value >> 8);
        bytes[4 * i + 3] = static_cast<unsigned char>(value);
    }
}

bool matches(uint32_t first, uint32_t count, const unsigned char* bytes) {
    bool same = true;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t value = (uint32_t{bytes[4 * i]} << 24) | (uint32_t{bytes[4 * i + 1]} << 16) |
                               (uint32_t{bytes[4 * i + 2]} << 8) | bytes[4 * i + 3];
        same &= value == first + i;
    }
    return same;
}

} // namespace

ConnectionLinkPacket LoopbackSequence::packet(uint32_t first, uint32_t count) {
    ConnectionLinkPacket packet;
    std::vector<unsigned char> slice(4 * std::min(count, sliceWords));
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, sliceWords);
        encode(first + done, n, slice.data());
        packet.insert(packet.end(), slice.begin(), slice.begin() + 4 * n);
        done += n;
    }
    return packet;
}

bool LoopbackSequence::take(ConnectionLinkPacket& packet, uint32_t first, uint32_t count) {
    if (packet.size() < 4 * static_cast<std::size_t>(count)) return false;
    std::vector<unsigned char> slice(4 * std::min(count, sliceWords));
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, sliceWords);
        const auto end = packet.begin() + 4 * n;
        std::copy(packet.begin(), end, slice.begin());
        // Checked words leave the packet at once, which frees its memory as
        // the check goes on.
        packet.erase(packet.begin(), end);
        if (!matches(first + done, n, slice.data())) return false;
        done += n;
    }
    return true;
}
