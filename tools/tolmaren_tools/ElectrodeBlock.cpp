#include "tolmaren_tools/ElectrodeBlock.h"

#include <cstring>

#include "tolmaren_tools/VectorClones.h"

namespace tolmaren_tools {

namespace {

constexpr unsigned int counter0Offset = 4;
constexpr unsigned int lfpOffset = 8;
constexpr unsigned int lfpWords = 11;
constexpr unsigned int lfpCodes = 32; // the 11th word's third code is unused
constexpr unsigned int countersOffset = 52;
constexpr unsigned int counterWords = 12;
constexpr unsigned int apOffset = 100;
constexpr unsigned int apWords = 128;
constexpr uint32_t markerBits = 0xC0000000u;
constexpr uint32_t codeMask = 0x3FF;
constexpr uint32_t counterMask = 0xFFFFFF;

uint32_t word(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The 128 AP data words into 384 codes; returns the words ORed together,
// for the marker check. The hot loop of every reader: written so that the
// compiler vectorises it, and compiled twice on x86-64, once for processors
// with AVX2 (byte swaps and interleaved stores in vector registers), chosen
// when the program loads.
TOLMAREN_VECTOR_CLONES
uint32_t decodeApWords(const unsigned char* __restrict words, uint16_t* __restrict codes) {
    uint32_t all = 0;
    for (unsigned int k = 0; k < apWords; ++k) {
        uint32_t w;
        std::memcpy(&w, words + 4 * k, sizeof w);
        w = __builtin_bswap32(w);
        all |= w;
        codes[3 * k] = static_cast<uint16_t>(w & codeMask);
        codes[3 * k + 1] = static_cast<uint16_t>((w >> 10) & codeMask);
        codes[3 * k + 2] = static_cast<uint16_t>((w >> 20) & codeMask);
    }
    return all;
}

// Marker 11 and bit 29 clear.
bool isCounter(uint32_t w) {
    return (w & 0xE0000000u) == 0xC0000000u;
}

} // namespace

bool ElectrodeBlock::decode(const unsigned char* block, unsigned int place, CodePacket& packet) {
    const uint32_t header = word(block);
    if ((header >> 30) != 1 || ((header >> 17) & 0xF) != place) return false;
    packet.startTrigger[place] = ((header >> 16) & 1) != 0;
    packet.synchronization[place] = static_cast<uint16_t>(header);

    const uint32_t counter = word(block + counter0Offset);
    if (!isCounter(counter)) return false;
    packet.counter[place][0] = counter & counterMask;

    // LFP code v carries channel 24 (v div 2) + 2 place + (v mod 2): block b
    // holds channels 2b and 2b+1 of every group of 24.
    uint32_t markers = 0;
    for (unsigned int k = 0; k < lfpWords; ++k) {
        const uint32_t w = word(block + lfpOffset + 4 * k);
        markers |= w;
        for (unsigned int i = 0; i < 3 && 3 * k + i < lfpCodes; ++i) {
            const unsigned int v = 3 * k + i;
            packet.lfp[24 * (v / 2) + 2 * place + v % 2] =
                static_cast<uint16_t>((w >> (10 * i)) & codeMask);
        }
    }
    for (unsigned int k = 0; k < counterWords; ++k) {
        const uint32_t slot = word(block + countersOffset + 4 * k);
        if (!isCounter(slot)) return false;
        packet.counter[place][k + 1] = slot & counterMask;
    }

    markers |= decodeApWords(block + apOffset, packet.ap[place]);
    return (markers & markerBits) == 0;
}

} // namespace tolmaren_tools
