#include "recording/RecordingInfo.h"

#include <algorithm>
#include <stdexcept>

#include "recording/AmplifierGains.h"
#include "recording/ProbeLayout.h"

namespace tolmaren_recording {

namespace {

using End = RecordingInfo::End;

const struct {
    End end;
    const char* name;
} endNames[] = {
    {End::InProgress, "in progress"}, {End::Completed, "completed"}, {End::Stopped, "stopped"},
    {End::LinkLost, "link lost"},     {End::Stalled, "stalled"},     {End::DiskFull, "disk full"},
    {End::Failed, "failed"},
};

} // namespace

const char* RecordingInfo::endName(End end) {
    for (const auto& entry : endNames)
        if (entry.end == end) return entry.name;
    return "failed";
}

RecordingInfo::End RecordingInfo::endNamed(const std::string& name) {
    for (const auto& entry : endNames)
        if (name == entry.name) return entry.end;
    throw std::invalid_argument("\"" + name + "\" is not a way a recording ends");
}

unsigned int RecordingInfo::recordingChannels() const {
    return static_cast<unsigned int>(
        std::count_if(bank.begin(), bank.end(), [](int b) { return b != ProbeLayout::noBank; }));
}

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
