#include "sim/DataStreamEncoder.h"

namespace tolmaren_sim {

namespace {

// Codes to data words, three a word; a missing third code is 0.
void putCodes(uint8_t* out, const uint16_t* codes, unsigned int count) {
    for (unsigned int i = 0; i < count; i += 3, out += 4) {
        const uint16_t third = i + 2 < count ? codes[i + 2] : 0;
        DataStreamEncoder::putWord(out, DataStreamEncoder::dataWord(codes[i], codes[i + 1], third));
    }
}

} // namespace

void DataStreamEncoder::electrodeData(uint8_t* block, unsigned int b, const uint16_t* ap,
                                      const uint16_t* lfp) {
    uint16_t lfpCodes[32];
    for (unsigned int v = 0; v < 32; ++v)
        lfpCodes[v] = lfp[lfpChannel(b, v)];
    putCodes(block + lfpOffset, lfpCodes, 32);
    putCodes(block + apOffset, ap, channels);
}

void DataStreamEncoder::stampElectrode(uint8_t* block, uint64_t seq, bool startTrigger,
                                       uint16_t synchronization) {
    putWord(block, headerWord(static_cast<unsigned int>(seq % blocksPerPacket), startTrigger,
                              synchronization));
    putWord(block + 4, counterWord(seq));
    for (unsigned int k = 1; k <= 12; ++k)
        putWord(block + countersOffset + 4 * (k - 1), counterWord(seq * 12 + k - 1));
}

void DataStreamEncoder::adcData(uint8_t* record, const uint16_t* codes) {
    putCodes(record + 4, codes, adcs);
}

void DataStreamEncoder::stampAdc(uint8_t* record, uint64_t seq) {
    putWord(record, counterWord(seq));
}

} // namespace tolmaren_sim
