#pragma once

#include <cstdint>
#include <vector>

#include "data/CodePacket.h"

namespace tolmaren_view {

// How active each channel is, from its AP band: the RMS about its mean and
// the rate at which it crosses below its mean by `thresholdRms` RMS (the
// threshold of the window before), both estimated over windows of
// `windowPackets` packets and smoothed over about half a second.
class ActivityMap {
public:
    static constexpr unsigned int windowPackets = 250; // 0.1 s: ten maps a second
    static constexpr float thresholdRms = 5;
    static constexpr float smoothing = 0.25f; // weight of the newest window

    // One factor per stream channel: microvolts of one code step.
    explicit ActivityMap(std::vector<float> microvoltsPerCode);

    // Takes the packet's blocks; true when it completed a window, so that
    // the estimates are new.
    bool add(const CodePacket& packet);

    const std::vector<float>& rmsMicrovolts() const { return rms_; }
    const std::vector<float>& crossingsPerSecond() const { return rate_; }

private:
    void addBlock(const uint16_t* codes);
    void finishWindow();

    std::vector<float> microvoltsPerCode_;
    // The window so far, per channel (codes; a window holds at most 3000
    // samples of at most 1023, so the sums fit).
    std::vector<uint32_t> sum_, squares_, crossings_, below_, threshold_;
    unsigned int samples_ = 0;
    unsigned int packets_ = 0;
    bool first_ = true;
    std::vector<float> rms_, rate_;
};

} // namespace tolmaren_view
