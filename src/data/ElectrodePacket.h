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

    void printPacket() const;

    bool startTrigger[blockCount];
    uint16_t synchronization[blockCount];
    uint32_t ctrs[blockCount][counterCount];
    float lfpData[channelCount];
    float apData[blockCount][channelCount];
};
