#pragma once

#include <cstdint>

namespace tolmaren_tools {

// One electrode packet as the 10-bit ADC codes (0 to 1023) it carries: 12
// blocks of 384 AP samples, one LFP sample per channel, and per block its 13
// counters (as the facade's ElectrodePacket::ctrs: 0 the block counter, 1 to
// 12 the conversion slots), synchronization value and start-trigger bit.
struct CodePacket {
    static constexpr unsigned int blocks = 12;
    static constexpr unsigned int channels = 384;
    static constexpr unsigned int counters = 13;

    uint16_t ap[blocks][channels];
    uint16_t lfp[channels];
    uint32_t counter[blocks][counters];
    uint16_t synchronization[blocks];
    bool startTrigger[blocks];
};

} // namespace tolmaren_tools
