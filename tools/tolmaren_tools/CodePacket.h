#pragma once

#include <cstdint>

namespace tolmaren_tools {

// One electrode packet as the 10-bit ADC codes (0 to 1023) it carries: 12
// blocks of 384 AP samples, one LFP sample per channel, and per block its
// counter (counter word 0), synchronization value and start-trigger bit.
struct CodePacket {
    static constexpr unsigned int blocks = 12;
    static constexpr unsigned int channels = 384;

    uint16_t ap[blocks][channels];
    uint16_t lfp[channels];
    uint32_t counter[blocks];
    uint16_t synchronization[blocks];
    bool startTrigger[blocks];
};

} // namespace tolmaren_tools
