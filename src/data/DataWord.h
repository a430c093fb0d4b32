#pragma once

#include <cstdint>

// The 32-bit words of the neural data stream: four bytes, the first one most
// significant. Data words carry three 10-bit sample codes under the marker 00;
// counter words a 24-bit counter under the marker 11 with bit 29 clear; the
// header word of an electrode block its index, start trigger and
// synchronization value under the marker 01.
namespace DataWord {

inline uint32_t load(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
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

} // namespace DataWord
