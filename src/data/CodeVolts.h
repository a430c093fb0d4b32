#pragma once

#include <cstddef>
#include <cstdint>

namespace code_volts_detail {

// code x volts per code for every 10-bit code: a look-up is cheaper than a
// conversion and a multiply per sample.
struct Table {
    float volts[1024];
    constexpr explicit Table(float voltsPerCode) : volts() {
        for (unsigned int code = 0; code < 1024; ++code)
            volts[code] = static_cast<float>(code) * voltsPerCode;
    }
};

} // namespace code_volts_detail

// Sample codes to volts at the ADC input, the one conversion every reader
// uses: code x 0.0011730206 (the single-precision number nearest to
// 1.2 / 1023), rounded to single precision. Nothing converts back.
class CodeVolts {
public:
    static constexpr float voltsPerCode = 0.0011730206f;

    // code must be below 1024.
    static float toVolts(uint32_t code) { return table.volts[code]; }
    // Codes above 1023 are taken modulo 1024.
    static void toVolts(const uint16_t* codes, std::size_t count, float* out);

private:
    static constexpr code_volts_detail::Table table{voltsPerCode};
};
