#pragma once

#include <cstddef>
#include <pybind11/numpy.h>

#include "data/AdcRecord.h"

// ADC packets as NumPy arrays, one row per record: the samples of the 32
// ADCs (records, 32) in volts at the ADC input (float32) or in 10-bit codes
// (uint16) when raw, and each record's counter. Allocated with the GIL held;
// put() fills a record's row without it.
class AdcArrays {
public:
    AdcArrays(std::size_t packets, bool raw);
    void put(std::size_t row, uint32_t counter, const uint16_t (&codes)[AdcRecord::adcs]);

    bool raw;
    pybind11::array adc;
    pybind11::array counters;

private:
    void* adc_;
    uint32_t* counters_;
};
