#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "sim/DataFaults.h"

namespace tolmaren_sim {

// How fast the data port streams.
enum class DataPacing {
    RealTime, // 30000 electrode blocks (360000 ADC records) per second through the data FIFO
    Fast,     // as fast as the client reads; no FIFO, nothing is dropped
};

// How the data port (neural stream and loopback) is built.
struct DataOptions {
    uint16_t port = 1234; // 0 picks a free port (see BasestationSimulator::dataPort())
    bool listen = true;   // false: the data port stays closed (its server is down)
    DataPacing pacing = DataPacing::RealTime;
    // The basestation's data FIFO in real-time pacing: what the client has not
    // taken yet; a full FIFO drops data and raises t_dma.dma_error.
    std::size_t fifoBytes = 16u << 20;
    // Loopback bytes wait in memory up to this much, then in a temporary
    // file; at loopbackLimitBytes the port stops reading from the client.
    std::size_t loopbackMemoryBytes = 64u << 20;
    std::size_t loopbackLimitBytes = std::size_t(1) << 30;
    // The first bytes sent on each connection are kept for inspection, up to
    // this many (0: none).
    std::size_t captureBytes = 0;
    // Faults armed from the start (see BasestationSimulator::setDataFaults).
    DataFaults faults;
    // For measuring latency (real-time pacing): told on the data port's
    // thread of the units the probe produces, the first one's number, how
    // many and when, before any of them can be sent. None by default.
    std::function<void(uint64_t first, uint64_t count, std::chrono::steady_clock::time_point)>
        onProduced;
};

} // namespace tolmaren_sim
