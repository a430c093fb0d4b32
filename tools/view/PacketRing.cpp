#include "view/PacketRing.h"

namespace tolmaren_view {

PacketRing::PacketRing(std::size_t capacity) : slots_(capacity) {}

void PacketRing::push(const CodePacket& packet) {
    const uint64_t written = written_.load(std::memory_order_relaxed);
    if (written - read_.load(std::memory_order_acquire) == slots_.size()) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    slots_[written % slots_.size()] = packet;
    written_.store(written + 1, std::memory_order_release);
}

const CodePacket* PacketRing::front() const {
    const uint64_t read = read_.load(std::memory_order_relaxed);
    if (written_.load(std::memory_order_acquire) == read) return nullptr;
    return &slots_[read % slots_.size()];
}

void PacketRing::pop() {
    read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

} // namespace tolmaren_view
