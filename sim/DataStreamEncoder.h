#pragma once

#include <cstdint>

namespace tolmaren_sim {

// The wire layout of the neural stream: 32-bit words, most significant byte
// first. An electrode block (612 bytes) is a header word, counter word 0, 11
// data words of LFP codes, counter words 1 to 12 and 128 data words of AP
// codes; an ADC record (48 bytes) is a counter word and 11 data words of ADC
// codes. Data words hold three 10-bit codes under the marker 00, counter
// words a 24-bit value under the marker 11, the header word the block index,
// the start trigger and the synchronization value under the marker 01.
//
// The data words of a unit are written once (into the ring of precomputed
// units); the header and counter words are stamped just before the unit is
// sent, from its sequence number.
class DataStreamEncoder {
public:
    static constexpr unsigned int channels = 384;
    static constexpr unsigned int blocksPerPacket = 12;
    static constexpr unsigned int blockSize = 612;
    static constexpr unsigned int recordsPerPacket = 13;
    static constexpr unsigned int recordSize = 48;
    static constexpr unsigned int adcs = 32;
    static constexpr unsigned int lfpOffset = 8;
    static constexpr unsigned int countersOffset = 52;
    static constexpr unsigned int apOffset = 100;
    // Blocks per second of the probe, and per half period of the
    // synchronization input's square wave.
    static constexpr unsigned int blockRate = 30000;
    static constexpr unsigned int syncHalfPeriod = blockRate / 2;

    static void putWord(uint8_t* out, uint32_t word) {
        out[0] = static_cast<uint8_t>(word >> 24);
        out[1] = static_cast<uint8_t>(word >> 16);
        out[2] = static_cast<uint8_t>(word >> 8);
        out[3] = static_cast<uint8_t>(word);
    }
    static uint32_t dataWord(uint16_t first, uint16_t second, uint16_t third) {
        return (uint32_t(third & 0x3FF) << 20) | (uint32_t(second & 0x3FF) << 10) |
               uint32_t(first & 0x3FF);
    }
    static uint32_t counterWord(uint64_t value) {
        return 0xC0000000u | static_cast<uint32_t>(value & 0xFFFFFF);
    }
    static uint32_t headerWord(unsigned int index, bool startTrigger, uint16_t synchronization) {
        return 0x40000000u | (uint32_t(index & 0xF) << 17) | (startTrigger ? 1u << 16 : 0u) |
               synchronization;
    }
    // The channel whose LFP code travels as code v (0 to 31) of block b:
    // block b carries channels 2b and 2b+1 of every group of 24.
    static unsigned int lfpChannel(unsigned int block, unsigned int v) {
        return 24 * (v / 2) + 2 * block + v % 2;
    }
    // The synchronization input: a 1 Hz square wave on bit 0, high during the
    // first half of every second counted in blocks from the wave's start.
    static uint16_t synchronization(uint64_t block) {
        return (block / syncHalfPeriod) % 2 == 0 ? 1 : 0;
    }

    // The data words of block index b (0 to 11): its AP codes (384, channel
    // order) and the LFP codes it carries, taken from the packet's 384 LFP
    // codes in channel order. Header and counters are left for stamping.
    static void electrodeData(uint8_t* block, unsigned int b, const uint16_t* ap,
                              const uint16_t* lfp);
    // Header and counter words of the block with sequence number seq: index
    // seq mod 12; counter 0 is the block number, counter k (1 to 12) the
    // number of the k-th conversion slot of the block, 12 seq + k - 1.
    static void stampElectrode(uint8_t* block, uint64_t seq, bool startTrigger,
                               uint16_t synchronization);
    // The data words of an ADC record from its 32 codes.
    static void adcData(uint8_t* record, const uint16_t* codes);
    // The counter word of the record with sequence number seq: seq.
    static void stampAdc(uint8_t* record, uint64_t seq);
};

} // namespace tolmaren_sim
