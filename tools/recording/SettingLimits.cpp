#include "recording/SettingLimits.h"

#include "recording/AmplifierGains.h"
#include "recording/ProbeLayout.h"
#include "recording/SettingError.h"

namespace tolmaren_recording {

namespace {

constexpr int highestGainCode = 7;
constexpr int highestReference = 10;
constexpr int highestBank = 3;

} // namespace

std::string SettingLimits::gainCode(int code) {
    if (code >= 0 && code <= highestGainCode) return "";
    std::string gains;
    for (unsigned int c = 0; c < AmplifierGains::codes; ++c)
        gains += (c == 0 ? "" : ", ") + std::to_string(static_cast<int>(AmplifierGains::factor(c)));
    return "gain code " + std::to_string(code) + " is not one of 0 to 7 (gains " + gains + ")";
}

std::string SettingLimits::reference(int index) {
    if (index >= 0 && index <= highestReference) return "";
    return "reference " + std::to_string(index) +
           " is not one of 0 to 10 (0 external, 1 tip, 2 to 10 the internal references)";
}

std::string SettingLimits::filter(int setting) {
    if (setting == 0 || setting == 1 || setting == 3) return "";
    return "high-pass filter setting " + std::to_string(setting) + " is not 0, 1 or 3";
}

std::string SettingLimits::bank(int bank) {
    if (bank >= 0 && bank <= highestBank) return "";
    return "bank " + std::to_string(bank) + " is not one of 0 to 3";
}

std::string SettingLimits::bank(int probeType, int bank) {
    const std::string any = SettingLimits::bank(bank);
    if (!any.empty()) return any;
    if (ProbeLayout::electrode(probeType, 0, bank) >= 0) return "";
    const std::string type = "a probe of type " + std::to_string(probeType);
    if (probeType < 2) return "bank " + std::to_string(bank) + ": " + type + " has only bank 0";
    // The highest bank that channel 0 reaches, and how far that bank goes.
    const unsigned int channels = ProbeLayout::channelsInUse(probeType);
    const unsigned int electrodes = ProbeLayout::electrodeCount(probeType);
    const unsigned int last = (electrodes - 1) / channels;
    const unsigned int reach = electrodes - last * channels;
    return "bank " + std::to_string(bank) + " holds no electrode of " + type + ": its " +
           std::to_string(electrodes) + " electrodes fill banks 0 to " + std::to_string(last) +
           (reach < channels ? " (bank " + std::to_string(last) + " reaches channels 0 to " +
                                   std::to_string(reach - 1) + ")"
                             : "");
}

void SettingLimits::require(const std::string& problem) {
    if (!problem.empty()) throw SettingError(problem);
}

} // namespace tolmaren_recording
