#pragma once

#include <cstdint>
#include <cstring>

// The 32-bit words of the neural data stream: four bytes, the first one most
// significant. Data words carry three 10-bit sample codes under the marker 00;
// counter words a 24-bit counter under the marker 11 with bit 29 clear; the
// header word of an electrode block its index, start trigger and
// synchronization value under the marker 01.
namespace DataWord {

// Volts per sample code: the single-precision number nearest to 1.2 / 1023.
constexpr float voltsPerCode = 0.0011730206f;

inline uint32_t load(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Code times voltsPerCode in single precision, for every 10-bit code: a look-up
// is cheaper than a conversion and a multiply per sample.
struct VoltsTable {
    float volts[1024];
    constexpr VoltsTable() : volts() {
        for (unsigned int code = 0; code < 1024; ++code)
            volts[code] = static_cast<float>(code) * voltsPerCode;
    }
};
inline constexpr VoltsTable voltsTable;

// code must be below 1024.
inline float toVolts(uint32_t code) {
    return voltsTable.volts[code];
}

// Code 0, 1 or 2 of a data word, in stream order.
inline uint32_t code(uint32_t word, unsigned int k) {
    return (word >> (10 * k)) & 0x3FF;
}

inline bool isCounter(uint32_t word) {
    return (word & 0xE0000000u) == 0xC0000000u;
}
inline uint32_t counterValue(uint32_t word) {
    return word & 0x00FFFFFFu;
}

inline bool isHeader(uint32_t word) {
    return (word >> 30) == 1;
}
inline unsigned int blockIndex(uint32_t word) {
    return (word >> 17) & 0xF;
}
inline bool startTrigger(uint32_t word) {
    return (word >> 16) & 1;
}
inline uint16_t synchronization(uint32_t word) {
    return static_cast<uint16_t>(word);
}

// Number of leading words of a run of data words that carry the marker 00:
// count when all do. The markers are the top two bits of each word's first
// byte; they are ORed over the whole run and tested once, and only a failing
// run is searched word by word. The OR runs on the words as they lie in
// memory, so the first byte of the result is the OR of the first bytes.
inline unsigned int validDataWords(const unsigned char* p, unsigned int count) {
    uint32_t ored = 0;
    for (unsigned int i = 0; i < count; ++i) {
        uint32_t raw;
        std::memcpy(&raw, p + 4 * i, 4);
        ored |= raw;
    }
    unsigned char firstBytes[4];
    std::memcpy(firstBytes, &ored, 4);
    if ((firstBytes[0] & 0xC0) == 0) return count;
    unsigned int i = 0;
    while ((p[4 * i] & 0xC0) == 0)
        ++i;
    return i;
}

// Decodes the codes of count data words into volts, three per word.
inline void decodeWords(const unsigned char* p, unsigned int count, float* out) {
    for (unsigned int i = 0; i < count; ++i) {
        const uint32_t word = load(p + 4 * i);
        out[3 * i] = toVolts(code(word, 0));
        out[3 * i + 1] = toVolts(code(word, 1));
        out[3 * i + 2] = toVolts(code(word, 2));
    }
}

} // namespace DataWord
