#include "common/StreamBuilder.h"

#include <fstream>
#include <stdexcept>

uint32_t StreamBuilder::dataWord(uint16_t first, uint16_t second, uint16_t third) {
    return (uint32_t(third & 0x3FF) << 20) | (uint32_t(second & 0x3FF) << 10) | (first & 0x3FF);
}

uint32_t StreamBuilder::counterWord(uint32_t value, uint8_t unused) {
    return 0xC0000000u | (uint32_t(unused & 0x1F) << 24) | (value & 0xFFFFFF);
}

uint32_t StreamBuilder::headerWord(unsigned int index, bool startTrigger, uint16_t synchronization,
                                   uint16_t unused) {
    return 0x40000000u | (uint32_t(unused & 0x1FF) << 21) | (uint32_t(index & 0xF) << 17) |
           (uint32_t(startTrigger) << 16) | synchronization;
}

StreamBuilder::ElectrodeBlock StreamBuilder::patternBlock(unsigned int packet, unsigned int index) {
    const unsigned int seed = packet * 12 + index;
    ElectrodeBlock block;
    block.index = index;
    block.startTrigger = seed % 3 == 1;
    block.synchronization = static_cast<uint16_t>(seed * 4099 + 17);
    block.headerUnused = static_cast<uint16_t>((seed * 37) & 0x1FF);
    for (unsigned int k = 0; k < 13; ++k)
        block.counters[k] = (seed * 13 + k) * 2654435761u & 0xFFFFFF;
    block.counterUnused = static_cast<uint8_t>(seed & 0x1F);
    for (unsigned int v = 0; v < 32; ++v)
        block.lfp[v] = static_cast<uint16_t>((seed * 29 + v * 31 + 5) % 1024);
    block.lfpPadding = 1023;
    for (unsigned int c = 0; c < 384; ++c)
        block.ap[c] = static_cast<uint16_t>((seed * 97 + c * 7 + 11) % 1024);
    return block;
}

StreamBuilder::AdcRecord StreamBuilder::patternRecord(unsigned int record) {
    AdcRecord result;
    result.counter = (record * 40503u + 7) & 0xFFFFFF;
    result.counterUnused = static_cast<uint8_t>(record & 0x1F);
    for (unsigned int a = 0; a < 32; ++a)
        result.adc[a] = static_cast<uint16_t>((record * 53 + a * 19 + 3) % 1024);
    result.padding = 1023;
    return result;
}

StreamBuilder& StreamBuilder::word(uint32_t value) {
    bytes_.push_back(static_cast<unsigned char>(value >> 24));
    bytes_.push_back(static_cast<unsigned char>(value >> 16));
    bytes_.push_back(static_cast<unsigned char>(value >> 8));
    bytes_.push_back(static_cast<unsigned char>(value));
    return *this;
}

StreamBuilder& StreamBuilder::electrodeBlock(const ElectrodeBlock& block) {
    word(headerWord(block.index, block.startTrigger, block.synchronization, block.headerUnused));
    word(counterWord(block.counters[0], block.counterUnused));
    for (unsigned int w = 0; w < 10; ++w)
        word(dataWord(block.lfp[3 * w], block.lfp[3 * w + 1], block.lfp[3 * w + 2]));
    word(dataWord(block.lfp[30], block.lfp[31], block.lfpPadding));
    for (unsigned int k = 1; k < 13; ++k)
        word(counterWord(block.counters[k], block.counterUnused));
    for (unsigned int w = 0; w < 128; ++w)
        word(dataWord(block.ap[3 * w], block.ap[3 * w + 1], block.ap[3 * w + 2]));
    return *this;
}

StreamBuilder& StreamBuilder::adcRecord(const AdcRecord& record) {
    word(counterWord(record.counter, record.counterUnused));
    for (unsigned int w = 0; w < 10; ++w)
        word(dataWord(record.adc[3 * w], record.adc[3 * w + 1], record.adc[3 * w + 2]));
    word(dataWord(record.adc[30], record.adc[31], record.padding));
    return *this;
}

StreamBuilder& StreamBuilder::electrodePackets(unsigned int count, unsigned int first) {
    bytes_.reserve(bytes_.size() + count * electrodePacketSize);
    for (unsigned int p = first; p < first + count; ++p)
        for (unsigned int b = 0; b < 12; ++b)
            electrodeBlock(patternBlock(p, b));
    return *this;
}

StreamBuilder& StreamBuilder::adcPackets(unsigned int count, unsigned int first) {
    for (unsigned int r = 13 * first; r < 13 * (first + count); ++r)
        adcRecord(patternRecord(r));
    return *this;
}

void StreamBuilder::writeFile(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()),
              static_cast<std::streamsize>(bytes_.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}
