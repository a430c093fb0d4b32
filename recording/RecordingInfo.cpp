#include "recording/RecordingInfo.h"

#include "recording/AmplifierGains.h"
#include "recording/ProbeLayout.h"

namespace tolmaren_recording {

RecordingInfo RecordingInfo::assumedDefaults() {
    RecordingInfo info;
    const unsigned int channels = ProbeLayout::streamChannels;
    info.bank.assign(channels, 0);
    info.apGainCode.assign(channels, openGainCode);
    info.lfpGainCode.assign(channels, openGainCode);
    info.reference.assign(channels, 0);
    info.standby.assign(channels, false);
    return info;
}

std::vector<int> RecordingInfo::electrodes() const {
    std::vector<int> result(bank.size());
    for (unsigned int c = 0; c < bank.size(); ++c)
        result[c] = ProbeLayout::electrode(probeType, c, bank[c]);
    return result;
}

double RecordingInfo::apMicrovoltsPerCode(unsigned int channel) const {
    return voltsPerCode / AmplifierGains::factor(apGainCode.at(channel)) * 1e6;
}

double RecordingInfo::lfpMicrovoltsPerCode(unsigned int channel) const {
    return voltsPerCode / AmplifierGains::factor(lfpGainCode.at(channel)) * 1e6;
}

} // namespace tolmaren_recording
