#include "recording/ProbeLayout.h"

namespace tolmaren_recording {

namespace {

constexpr unsigned int type3Channels = 276;

} // namespace

unsigned int ProbeLayout::channelsInUse(int probeType) {
    return probeType == 3 ? type3Channels : streamChannels;
}

unsigned int ProbeLayout::electrodeCount(int probeType) {
    switch (probeType) {
    case 2:
        return 960;
    case 3:
        return 966;
    default:
        return streamChannels;
    }
}

int ProbeLayout::electrode(int probeType, unsigned int channel, int bank) {
    if (channel >= channelsInUse(probeType) || bank < 0) return -1;
    if (probeType < 2) return bank == 0 ? static_cast<int>(channel) : -1;
    const unsigned int e = static_cast<unsigned int>(bank) * channelsInUse(probeType) + channel;
    return e < electrodeCount(probeType) ? static_cast<int>(e) : -1;
}

} // namespace tolmaren_recording
