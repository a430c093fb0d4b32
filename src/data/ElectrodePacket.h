#pragma once

#include <cstdint>

// One decoded electrode packet: 12 consecutive electrode blocks of the data
// stream, giving 12 successive AP samples and one LFP sample of each of the
// 384 channels, in volts.
class ElectrodePacket {
public:
    static constexpr unsigned int blockCount = 12;
    static constexpr unsigned int counterCount = 13;
    static constexpr unsigned int channelCount = 384;
    static constexpr unsigned int blockSize = 612;

    ElectrodePacket();

    // Decodes the 612 bytes of the block in place b of its packet. Stops at
    // the first failing check (marker, block index or reserved bit) with
    // false; the fields decoded up to there keep their new values, the rest
    // their old ones.
    bool decodeBlock(unsigned int b, const unsigned char* block);

    void printPacket() const;

    bool startTrigger[blockCount];
    uint16_t synchronization[blockCount];
    uint32_t ctrs[blockCount][counterCount];
    float lfpData[channelCount];
    float apData[blockCount][channelCount];
};
