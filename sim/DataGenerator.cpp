#include "sim/DataGenerator.h"

#include "sim/DataStreamEncoder.h"

namespace tolmaren_sim {

void DataGenerator::electrodeData(uint8_t* block, uint64_t seq) const {
    uint16_t ap[DataStreamEncoder::channels];
    uint16_t lfp[DataStreamEncoder::channels];
    const uint64_t packet = seq / DataStreamEncoder::blocksPerPacket;
    for (unsigned int c = 0; c < DataStreamEncoder::channels; ++c) {
        ap[c] = code(c, seq);
        lfp[c] = code(c, packet);
    }
    DataStreamEncoder::electrodeData(
        block, static_cast<unsigned int>(seq % DataStreamEncoder::blocksPerPacket), ap, lfp);
}

void DataGenerator::adcData(uint8_t* record, uint64_t seq) const {
    uint16_t codes[DataStreamEncoder::adcs];
    for (unsigned int a = 0; a < DataStreamEncoder::adcs; ++a)
        codes[a] = code(a, seq);
    DataStreamEncoder::adcData(record, codes);
}

} // namespace tolmaren_sim
