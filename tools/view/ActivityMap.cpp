#include "view/ActivityMap.h"

#include <algorithm>
#include <cmath>

#include "recording/RecordingInfo.h"

namespace tolmaren_view {

namespace {

constexpr unsigned int channels = CodePacket::channels;

} // namespace

ActivityMap::ActivityMap(std::vector<float> microvoltsPerCode)
    : microvoltsPerCode_(std::move(microvoltsPerCode)), sum_(channels), squares_(channels),
      crossings_(channels), below_(channels), threshold_(channels), rms_(channels),
      rate_(channels) {}

bool ActivityMap::add(const CodePacket& packet) {
    for (unsigned int b = 0; b < CodePacket::blocks; ++b)
        if (packet.has(b)) addBlock(packet.ap[b]);
    if (++packets_ < windowPackets) return false;
    finishWindow();
    return true;
}

// The one loop over every sample of the stream: kept free of branches so
// that it vectorises.
void ActivityMap::addBlock(const uint16_t* codes) {
    uint32_t* const sum = sum_.data();
    uint32_t* const squares = squares_.data();
    uint32_t* const crossings = crossings_.data();
    uint32_t* const below = below_.data();
    const uint32_t* const threshold = threshold_.data();
    for (unsigned int c = 0; c < channels; ++c) {
        const uint32_t x = codes[c];
        sum[c] += x;
        squares[c] += x * x;
        const uint32_t isBelow = x < threshold[c];
        crossings[c] += isBelow & (1u - below[c]);
        below[c] = isBelow;
    }
    ++samples_;
}

void ActivityMap::finishWindow() {
    const double n = samples_;
    const double seconds = n / tolmaren_recording::RecordingInfo::apSampleRateHz;
    const float weight = first_ ? 1.0f : smoothing;
    for (unsigned int c = 0; c < channels && samples_ > 0; ++c) {
        const double mean = sum_[c] / n;
        const double deviation = std::sqrt(std::max(0.0, squares_[c] / n - mean * mean));
        const auto rms = static_cast<float>(deviation * microvoltsPerCode_[c]);
        const auto rate = static_cast<float>(crossings_[c] / seconds);
        rms_[c] += weight * (rms - rms_[c]);
        rate_[c] += weight * (rate - rate_[c]);
        threshold_[c] =
            static_cast<uint32_t>(std::max(0.0, std::ceil(mean - thresholdRms * deviation)));
    }
    first_ = samples_ == 0 && first_;
    std::fill(sum_.begin(), sum_.end(), 0u);
    std::fill(squares_.begin(), squares_.end(), 0u);
    std::fill(crossings_.begin(), crossings_.end(), 0u);
    samples_ = 0;
    packets_ = 0;
}

} // namespace tolmaren_view
