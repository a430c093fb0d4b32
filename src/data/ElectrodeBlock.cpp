#include "data/ElectrodeBlock.h"

#include <cstring>

#include "data/DataWord.h"
#include "data/VectorClones.h"

namespace {

constexpr unsigned int counter0Offset = 4;
constexpr unsigned int lfpOffset = 8;
constexpr unsigned int lfpWords = 11;
constexpr unsigned int lfpCodes = 32; // the 11th word's third code is padding
constexpr unsigned int countersOffset = 52;
constexpr unsigned int apOffset = 100;
constexpr unsigned int apWords = 128;
constexpr unsigned int apCodes = 3 * apWords;

// LFP code v of the block in place b belongs to channel 24 (v div 2) + 2 b +
// v mod 2: every block carries two neighbouring channels of each group of 24.
struct LfpChannelTable {
    unsigned short base[lfpCodes];
    constexpr LfpChannelTable() : base() {
        for (unsigned int v = 0; v < lfpCodes; ++v)
            base[v] = static_cast<unsigned short>(24 * (v / 2) + v % 2);
    }
};
constexpr LfpChannelTable lfpChannels;

// The AP data words into codes; returns the words ORed together, for the
// marker check. The hot loop of every reader: written so that the compiler
// vectorises it, in an AVX2 version too where the processor has it.
TOLMAREN_VECTOR_CLONES
uint32_t decodeApWords(const unsigned char* __restrict words, uint16_t* __restrict codes) {
    uint32_t all = 0;
    for (unsigned int k = 0; k < apWords; ++k) {
        uint32_t w;
        std::memcpy(&w, words + 4 * k, sizeof w);
        w = __builtin_bswap32(w);
        all |= w;
        codes[3 * k] = static_cast<uint16_t>(w & 0x3FF);
        codes[3 * k + 1] = static_cast<uint16_t>((w >> 10) & 0x3FF);
        codes[3 * k + 2] = static_cast<uint16_t>((w >> 20) & 0x3FF);
    }
    return all;
}

// The data words ORed together, for the marker check alone: the check of a
// reader that only counts, without the cost of the codes.
TOLMAREN_VECTOR_CLONES
uint32_t oredWords(const unsigned char* __restrict words, unsigned int count) {
    uint32_t all = 0;
    for (unsigned int k = 0; k < count; ++k) {
        uint32_t w;
        std::memcpy(&w, words + 4 * k, sizeof w);
        all |= w;
    }
    return __builtin_bswap32(all);
}

bool markersClear(uint32_t ored) {
    return (ored & 0xC0000000u) == 0;
}

// Leading data words of a run whose marker is 00.
unsigned int goodWords(const unsigned char* words, unsigned int count) {
    unsigned int k = 0;
    while (k < count && (words[4 * k] & 0xC0) == 0)
        ++k;
    return k;
}

} // namespace

int ElectrodeBlock::index(const unsigned char* block) {
    const uint32_t header = DataWord::load(block);
    return DataWord::isHeader(header) ? static_cast<int>(DataWord::blockIndex(header)) : -1;
}

int64_t ElectrodeBlock::blockCounter(const unsigned char* block) {
    const uint32_t word = DataWord::load(block + counter0Offset);
    return DataWord::isCounter(word) ? DataWord::counterValue(word) : -1;
}

bool ElectrodeBlock::validAt(const unsigned char* block, unsigned int place) {
    if (index(block) != static_cast<int>(place) || blockCounter(block) < 0) return false;
    bool counters = true;
    for (unsigned int k = 0; k < CodePacket::counters - 1; ++k)
        counters &= DataWord::isCounter(DataWord::load(block + countersOffset + 4 * k));
    return counters && markersClear(oredWords(block + lfpOffset, lfpWords) |
                                    oredWords(block + apOffset, apWords));
}

BlockProgress ElectrodeBlock::decode(const unsigned char* block, unsigned int place,
                                     CodePacket& packet) {
    BlockProgress progress;
    const uint32_t header = DataWord::load(block);
    packet.synchronization[place] = DataWord::synchronization(header);
    packet.startTrigger[place] = DataWord::startTrigger(header);
    if (!DataWord::isHeader(header) || DataWord::blockIndex(header) != place) return progress;

    const uint32_t counter0 = DataWord::load(block + counter0Offset);
    if (!DataWord::isCounter(counter0)) return progress;
    packet.counter[place][0] = DataWord::counterValue(counter0);
    progress.counters = 1;

    uint32_t lfpMarkers = 0;
    for (unsigned int v = 0; v < lfpCodes; ++v) {
        const uint32_t word = DataWord::load(block + lfpOffset + 4 * (v / 3));
        lfpMarkers |= word;
        packet.lfp[lfpChannels.base[v] + 2 * place] =
            static_cast<uint16_t>(DataWord::code(word, v % 3));
    }
    if (!markersClear(lfpMarkers)) {
        progress.lfpCodes = 3 * goodWords(block + lfpOffset, lfpWords);
        return progress;
    }
    progress.lfpCodes = lfpCodes;

    for (unsigned int k = 1; k < CodePacket::counters; ++k) {
        const uint32_t word = DataWord::load(block + countersOffset + 4 * (k - 1));
        if (!DataWord::isCounter(word)) return progress;
        packet.counter[place][k] = DataWord::counterValue(word);
        progress.counters = k + 1;
    }

    if (!markersClear(decodeApWords(block + apOffset, packet.ap[place]))) {
        progress.dataCodes = 3 * goodWords(block + apOffset, apWords);
        return progress;
    }
    progress.dataCodes = apCodes;
    progress.passed = true;
    return progress;
}
