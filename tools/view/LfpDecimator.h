#pragma once

#include <cstdint>
#include <vector>

#include "data/CodePacket.h"

namespace tolmaren_view {

// The LFP band of every channel at a rate a page can draw: the mean of
// `packetsPerColumn` whole packets per column, in microvolts, with each
// channel's slow drift (below about half a hertz) taken off so that a colour
// scale shows the oscillations.
class LfpDecimator {
public:
    static constexpr unsigned int packetsPerColumn = 25; // 100 columns a second
    static constexpr float driftWeight = 0.03f;          // per column

    explicit LfpDecimator(std::vector<float> microvoltsPerCode);

    // True when the packet completed a column. Abandoned packets are left
    // out: their LFP samples are partly stale.
    bool add(const CodePacket& packet);

    // The latest column, one value per channel.
    const std::vector<float>& column() const { return column_; }
    // The stream position (AP samples) of its first packet.
    int64_t columnPosition() const { return columnPosition_; }

private:
    std::vector<float> microvoltsPerCode_;
    std::vector<uint32_t> sum_;
    std::vector<float> drift_;
    std::vector<float> column_;
    unsigned int packets_ = 0;
    bool first_ = true;
    int64_t firstPosition_ = 0;
    int64_t columnPosition_ = 0;
};

} // namespace tolmaren_view
