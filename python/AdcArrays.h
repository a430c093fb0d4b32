#pragma once

#include <cstddef>
#include <pybind11/numpy.h>

#include "data/AdcPacket.h"

// ADC packets as NumPy arrays, one row per record: the samples of the 32
// ADCs (records, 32) in volts at the ADC input (float32) or in 10-bit codes
// (uint16) when raw, and each record's counter. Allocated with the GIL held;
// put() fills a packet's 13 rows without it.
class AdcArrays {
public:
    AdcArrays(std::size_t packets, bool raw, float voltsPerCode);
    void put(std::size_t packet, const AdcPacket& decoded);

    bool raw;
    pybind11::array adc;
    pybind11::array counters;

private:
    float voltsPerCode_;
    void* adc_;
    uint32_t* counters_;
};
