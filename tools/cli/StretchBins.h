#pragma once

#include <cstdint>
#include <vector>

#include "data/CodePacket.h"
#include "recording/RecordingInfo.h"

// A stretch of AP samples reduced to a fixed number of time columns: the
// smallest and largest value of every channel in each column, in microvolts
// at the probe's input. Keeping extremes rather than means lets a 1.6 ms
// spike still show in a column that spans many samples.
class StretchBins {
public:
    // `samples`: how many AP samples per channel the stretch will hold.
    StretchBins(const tolmaren_recording::RecordingInfo& info, uint64_t samples,
                unsigned int columns);

    // The blocks that arrived of the packet.
    void add(const CodePacket& packet);

    unsigned int columns() const { return columns_; }
    // Columns that received samples (fewer when packets were lost).
    unsigned int filledColumns() const;
    float min(unsigned int column, unsigned int channel) const;
    float max(unsigned int column, unsigned int channel) const;

private:
    std::vector<float> scale_; // microvolts per code, per channel
    uint64_t samples_;
    unsigned int columns_;
    uint64_t taken_ = 0;
    std::vector<float> min_;
    std::vector<float> max_;
};
