#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/CodePacket.h"

namespace tolmaren_view {

// Hands packets from the acquisition thread (the one producer) to the view
// thread (the one consumer) without either waiting for the other. When the
// view thread is behind, a packet is left out of the view and counted; the
// recording never waits for the view.
class PacketRing {
public:
    explicit PacketRing(std::size_t capacity);

    // Producer: a copy of the packet, or a count of one more dropped.
    void push(const CodePacket& packet);
    // Consumer: the oldest packet not yet popped, or null; valid until pop().
    const CodePacket* front() const;
    void pop();

    uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::vector<CodePacket> slots_;
    std::atomic<uint64_t> written_{0}; // packets pushed; only the producer writes it
    std::atomic<uint64_t> read_{0};    // packets popped; only the consumer writes it
    std::atomic<uint64_t> dropped_{0};
};

} // namespace tolmaren_view
