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

    // Decodes the 624 bytes of a packet, record by record. Stops at the first
    // failing marker or reserved bit with false; the fields decoded up to
    // there keep their new values, the rest their old ones.
    bool decode(const unsigned char* bytes);

    void printPacket() const;

    Record records[recordCount];
};
