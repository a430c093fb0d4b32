#pragma once

#include <cstdint>

namespace tolmaren_sim {

// Traffic seen on the configuration port since the simulator started.
struct RequestCounters {
    uint64_t connections = 0;       // clients accepted
    uint64_t requests = 0;          // complete frames received
    uint64_t replies = 0;           // reply frames sent
    uint64_t droppedFrames = 0;     // aborted, oversized or too short frames
    uint64_t malformedRequests = 0; // answered with an error bit
    uint64_t uartTransactions = 0;  // command transactions executed by the bridge
};

} // namespace tolmaren_sim
