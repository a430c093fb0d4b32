#pragma once

#include <cstdint>

#include "data/BlockProgress.h"

// The 48-byte ADC record of the neural stream in ADC data mode: a counter
// word and 11 data words carrying the codes of the 32 ADCs (the 11th word's
// third code is padding), most significant byte first.
class AdcRecord {
public:
    static constexpr unsigned int bytes = 48;
    static constexpr unsigned int adcs = 32;

    // Decodes the counter and the codes, checking as it goes (counter word:
    // marker 11, bit 29 clear; data words: marker 00); stores the fields up to
    // the first failing check.
    static BlockProgress decode(const unsigned char* record, uint32_t& counter,
                                uint16_t (&codes)[adcs]);
};
