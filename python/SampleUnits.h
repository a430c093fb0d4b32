#pragma once

#include <cstddef>
#include <cstdint>

// Samples between the library's volts and 10-bit ADC codes. The library's
// sample is the code times its single-precision volts per code, so dividing
// and rounding gives the code back exactly, and the same product in the
// other direction gives the library's sample bit for bit.
class SampleUnits {
public:
    static void toCodes(const float* volts, std::size_t count, float voltsPerCode,
                        uint16_t* codes) {
        const float codesPerVolt = 1.0f / voltsPerCode;
        for (std::size_t i = 0; i < count; ++i)
            codes[i] = static_cast<uint16_t>(volts[i] * codesPerVolt + 0.5f);
    }
    static void toVolts(const uint16_t* codes, std::size_t count, float voltsPerCode,
                        float* volts) {
        for (std::size_t i = 0; i < count; ++i)
            volts[i] = static_cast<float>(codes[i]) * voltsPerCode;
    }
};
