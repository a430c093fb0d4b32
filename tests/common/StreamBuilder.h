#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds neural data streams in the basestation's wire layout, word by word
// and most significant byte first: electrode blocks (612 bytes, 12 to a
// packet) and ADC records (48 bytes, 13 to a packet). Tests play them back or
// serve them from a peer, and corrupt single bytes of them through data().
class StreamBuilder {
public:
    static constexpr unsigned int electrodeBlockSize = 612;
    static constexpr unsigned int electrodePacketSize = 12 * electrodeBlockSize;
    static constexpr unsigned int adcRecordSize = 48;
    static constexpr unsigned int adcPacketSize = 13 * adcRecordSize;

    // Byte offsets within an electrode block.
    static constexpr unsigned int counter0Offset = 4;
    static constexpr unsigned int lfpOffset = 8;
    static constexpr unsigned int countersOffset = 52; // counter words 1 to 12
    static constexpr unsigned int apOffset = 100;

    // Field values of one electrode block; codes are 10 bits, counters 24.
    struct ElectrodeBlock {
        unsigned int index = 0;
        bool startTrigger = false;
        uint16_t synchronization = 0;
        uint16_t headerUnused = 0; // bits 29..21 of the header word
        uint32_t counters[13] = {};
        uint8_t counterUnused = 0; // bits 28..24 of every counter word
        uint16_t lfp[32] = {};
        uint16_t lfpPadding = 0; // third code of the 11th LFP word
        uint16_t ap[384] = {};
    };

    struct AdcRecord {
        uint32_t counter = 0;
        uint8_t counterUnused = 0;
        uint16_t adc[32] = {};
        uint16_t padding = 0; // third code of the 11th data word
    };

    static uint32_t dataWord(uint16_t first, uint16_t second, uint16_t third);
    static uint32_t counterWord(uint32_t value, uint8_t unused = 0);
    static uint32_t headerWord(unsigned int index, bool startTrigger, uint16_t synchronization,
                               uint16_t unused = 0);

    // Deterministic contents that differ in every field from block to block
    // and from packet to packet, with the unused bits and paddings set.
    static ElectrodeBlock patternBlock(unsigned int packet, unsigned int index);
    static AdcRecord patternRecord(unsigned int record);

    StreamBuilder& word(uint32_t value);
    StreamBuilder& electrodeBlock(const ElectrodeBlock& block);
    StreamBuilder& adcRecord(const AdcRecord& record);
    // Pattern packets numbered from first on.
    StreamBuilder& electrodePackets(unsigned int count, unsigned int first = 0);
    StreamBuilder& adcPackets(unsigned int count, unsigned int first = 0);

    std::vector<unsigned char>& data() { return bytes_; }
    const std::vector<unsigned char>& data() const { return bytes_; }
    void writeFile(const std::string& path) const;

private:
    std::vector<unsigned char> bytes_;
};
