#pragma once

#include <cstdint>
#include <vector>

#include "data/CodePacket.h"

namespace tolmaren_recording {

// Running statistics of every channel's AP and LFP codes over a recording.
class ChannelStatistics {
public:
    // One channel's samples of one band, in ADC codes.
    struct Band {
        uint64_t count = 0;
        int64_t sum = 0;
        int64_t sumOfSquares = 0;
        int min = 1023;
        int max = 0;

        void add(int code);
        double mean() const;
        // Standard deviation about the mean (the RMS of the signal's
        // fluctuation).
        double deviation() const;
    };

    ChannelStatistics();
    void add(const CodePacket& packet);
    const Band& ap(unsigned int channel) const { return ap_[channel]; }
    const Band& lfp(unsigned int channel) const { return lfp_[channel]; }

private:
    std::vector<Band> ap_;
    std::vector<Band> lfp_;
};

} // namespace tolmaren_recording
