#include "recording/ChannelStatistics.h"

#include <algorithm>
#include <cmath>

namespace tolmaren_recording {

void ChannelStatistics::Band::add(int code) {
    ++count;
    sum += code;
    sumOfSquares += int64_t(code) * code;
    min = std::min(min, code);
    max = std::max(max, code);
}

double ChannelStatistics::Band::mean() const {
    return count == 0 ? 0.0 : static_cast<double>(sum) / static_cast<double>(count);
}

double ChannelStatistics::Band::deviation() const {
    if (count == 0) return 0.0;
    const double n = static_cast<double>(count);
    // The sums are exact; codes within 0 to 1023 keep the difference well
    // conditioned even for a nearly constant channel.
    const double variance = (static_cast<double>(sumOfSquares) * n -
                             static_cast<double>(sum) * static_cast<double>(sum)) /
                            (n * n);
    return std::sqrt(std::max(0.0, variance));
}

ChannelStatistics::ChannelStatistics() : ap_(CodePacket::channels), lfp_(CodePacket::channels) {}

// The blocks that arrived of an abandoned packet count, and the LFP samples
// they carry.
void ChannelStatistics::add(const CodePacket& packet) {
    for (unsigned int b = 0; b < CodePacket::blocks; ++b)
        if (packet.has(b))
            for (unsigned int c = 0; c < CodePacket::channels; ++c)
                ap_[c].add(packet.ap[b][c]);
    for (unsigned int c = 0; c < CodePacket::channels; ++c)
        if (packet.has(CodePacket::lfpPlace(c))) lfp_[c].add(packet.lfp[c]);
}

} // namespace tolmaren_recording
