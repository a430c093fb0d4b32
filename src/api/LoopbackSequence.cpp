#include "api/LoopbackSequence.h"

#include <algorithm>
#include <cstring>
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

} // namespace

ConnectionLinkPacket LoopbackSequence::packet(uint32_t first, uint32_t count) {
    ConnectionLinkPacket packet;
    std::vector<unsigned char> slice(4 * std::min(count, sliceWords));
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, sliceWords);
        encode(first + done, n, slice.data());
        packet.insert(packet.end(), slice.data(), slice.data() + 4 * n);
        done += n;
    }
    return packet;
}

bool LoopbackSequence::holds(const ConnectionLinkPacket& packet, uint32_t first, uint32_t count) {
    if (packet.size() != 4 * static_cast<std::size_t>(count)) return false;
    const std::size_t sliceBytes = 4 * std::min(count, sliceWords);
    std::vector<unsigned char> expected(sliceBytes);
    std::vector<unsigned char> received(sliceBytes);
    auto at = packet.begin();
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, sliceWords);
        encode(first + done, n, expected.data());
        std::copy(at, at + 4 * n, received.data());
        if (std::memcmp(expected.data(), received.data(), 4 * n) != 0) return false;
        at += 4 * n;
        done += n;
    }
    return true;
}
