#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "data/CodePacket.h"
#include "view/TraceSettings.h"

namespace tolmaren_view {

// The AP traces of one page: the chosen channels in microvolts, filtered as
// asked, reduced to the minimum and maximum of each bin of `binSamples`
// samples. Bins are aligned to multiples of binSamples on the stream's
// timeline, so that a page places them by position alone. Finished bins wait
// in runs of consecutive bins until taken; when more than `maxPendingBins`
// wait, the oldest are dropped.
class TraceDecimator {
public:
    // Consecutive bins from `firstSample` (a multiple of binSamples, except
    // after a gap): minMax[(bin * channels + k) * 2 + 0 or 1].
    struct Run {
        int64_t firstSample = 0;
        unsigned int bins = 0;
        std::vector<float> minMax;
    };

    TraceDecimator(TraceSettings settings, const std::vector<float>& apMicrovoltsPerCode,
                   unsigned int maxPendingBins);

    // `commonAverage`: per block of the packet, the mean over the channels
    // in use in microvolts; needed when the settings ask for it.
    void add(const CodePacket& packet, const float* commonAverage);
    // The finished bins, oldest first.
    std::deque<Run> take();

    bool hasBins() const { return pendingBins_ > 0; }
    const TraceSettings& settings() const { return settings_; }
    uint64_t binsDropped() const { return binsDropped_; }

private:
    void addSample(int64_t position, const uint16_t* codes, float commonAverage);
    void closeBin();
    void dropOldest();

    TraceSettings settings_;
    std::vector<float> scale_; // microvolts per code of each chosen channel
    float highPassWeight_;
    unsigned int maxPendingBins_;

    std::vector<float> lastInput_, lastOutput_; // the high-pass's state
    std::vector<float> binMin_, binMax_;
    unsigned int binCount_ = 0; // samples in the open bin
    int64_t binStart_ = 0;
    int64_t expected_ = -1; // the next position, -1 before the first sample

    std::deque<Run> runs_;
    unsigned int pendingBins_ = 0;
    bool startRun_ = true;
    uint64_t binsDropped_ = 0;
};

} // namespace tolmaren_view
