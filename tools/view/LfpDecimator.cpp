#include "view/LfpDecimator.h"

#include <algorithm>

#include "recording/RecordingInfo.h"

namespace tolmaren_view {

namespace {

constexpr unsigned int channels = CodePacket::channels;

} // namespace

LfpDecimator::LfpDecimator(std::vector<float> microvoltsPerCode)
    : microvoltsPerCode_(std::move(microvoltsPerCode)), sum_(channels), drift_(channels),
      column_(channels) {}

bool LfpDecimator::add(const CodePacket& packet) {
    if (!packet.whole()) return false;
    if (packets_ == 0) firstPosition_ = packet.position;
    for (unsigned int c = 0; c < channels; ++c)
        sum_[c] += packet.lfp[c];
    if (++packets_ < packetsPerColumn) return false;

    const float weight = first_ ? 1.0f : driftWeight;
    for (unsigned int c = 0; c < channels; ++c) {
        const float mean = static_cast<float>(sum_[c]) / packetsPerColumn -
                           static_cast<float>(tolmaren_recording::RecordingInfo::adcZeroCode);
        const float microvolts = mean * microvoltsPerCode_[c];
        drift_[c] += weight * (microvolts - drift_[c]);
        column_[c] = microvolts - drift_[c];
    }
    first_ = false;
    std::fill(sum_.begin(), sum_.end(), 0u);
    packets_ = 0;
    columnPosition_ = firstPosition_;
    return true;
}

} // namespace tolmaren_view
