#include "cli/StretchBins.h"

#include <algorithm>
#include <limits>

StretchBins::StretchBins(const tolmaren_recording::RecordingInfo& info, uint64_t samples,
                         unsigned int columns)
    : samples_(std::max<uint64_t>(samples, 1)), columns_(columns),
      min_(std::size_t(columns) * CodePacket::channels, std::numeric_limits<float>::max()),
      max_(std::size_t(columns) * CodePacket::channels, std::numeric_limits<float>::lowest()) {
    for (unsigned int c = 0; c < CodePacket::channels; ++c)
        scale_.push_back(static_cast<float>(info.apMicrovoltsPerCode(c)));
}

void StretchBins::add(const CodePacket& packet) {
    const float zero = tolmaren_recording::RecordingInfo::adcZeroCode;
    for (unsigned int b = 0; b < CodePacket::blocks && taken_ < samples_; ++b, ++taken_) {
        if (!packet.has(b)) continue; // its time passes with nothing to show
        const std::size_t column = static_cast<std::size_t>(taken_ * columns_ / samples_);
        float* low = &min_[column * CodePacket::channels];
        float* high = &max_[column * CodePacket::channels];
        for (unsigned int c = 0; c < CodePacket::channels; ++c) {
            const float value = (packet.ap[b][c] - zero) * scale_[c];
            low[c] = std::min(low[c], value);
            high[c] = std::max(high[c], value);
        }
    }
}

unsigned int StretchBins::filledColumns() const {
    return static_cast<unsigned int>(
        std::min<uint64_t>(columns_, (taken_ * columns_ + samples_ - 1) / samples_));
}

float StretchBins::min(unsigned int column, unsigned int channel) const {
    return min_[std::size_t(column) * CodePacket::channels + channel];
}

float StretchBins::max(unsigned int column, unsigned int channel) const {
    return max_[std::size_t(column) * CodePacket::channels + channel];
}
