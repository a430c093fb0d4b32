#pragma once

#include <cstdint>

// Settings that apply to the whole ASIC.
struct AdditionalSettings {
    uint8_t BwHp = 0; // high-pass filter setting: 0, 1 or 3 (2 bits)
    bool SwBulk = false;
    bool SelBias = false;
    bool TestOn = false;
    bool SarCal = false;
};
