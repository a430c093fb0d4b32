#pragma once

#include <cstdint>

// Per-channel settings: the ASIC's 3-bit gain codes and the standby flag.
struct ChanSetxx {
    uint8_t apGain = 0;  // 0 to 7
    uint8_t lfpGain = 0; // 0 to 7
    bool standby = false;
};
