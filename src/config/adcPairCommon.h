#pragma once

#include <cstdint>

// Calibration settings shared by the two ADCs of one ADC pair.
struct adcPairCommon {
    uint8_t slope = 0;  // 0 to 7, 3 bits
    uint8_t fine = 0;   // 0 to 3, 2 bits
    uint8_t coarse = 0; // 0 to 3, 2 bits
    uint8_t cfix = 0;   // 0 to 15, 4 bits
};
