#pragma once

#include <cstdint>

// One decoded ADC packet: 13 consecutive ADC records of the data stream, each
// a counter and one sample of each of the 32 ADCs, in volts.
class AdcPacket {
public:
    static constexpr unsigned int recordCount = 13;
    static constexpr unsigned int adcCount = 32;
    static constexpr unsigned int recordSize = 48;
    static constexpr unsigned int packetSize = recordCount * recordSize;

    struct Record {
        uint32_t ctr;
        float adcData[adcCount];
    };

    AdcPacket();

    void printPacket() const;

    Record records[recordCount];
};
