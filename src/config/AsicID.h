#pragma once

#include <cstdint>

// Identity of a probe: serial number (0 to 2^30 - 1) and probe type (0 to 3).
// The probe type fixes the number of channels, electrodes and gain values.
struct AsicID {
    uint32_t serialNumber = 0;
    int8_t probeType = 0;
};
