#pragma once

// The number of set bits of a 16-bit value (0 to 16): the comparator
// calibration counts the ones in ADC codes with it.
unsigned short count_ones(unsigned short value);
