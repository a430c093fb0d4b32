#pragma once

#include <cstdint>

// Comparator settings of one ADC (0 to 31 each, 5 bits in the base chain).
struct adcComp {
    uint8_t compP = 0;
    uint8_t compN = 0;
};
