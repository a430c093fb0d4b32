#include "tolmaren_tools/BankSelection.h"

#include "recording/ProbeLayout.h"
#include "recording/SettingLimits.h"
#include "recording/StatusWords.h"

namespace tolmaren_tools {

using tolmaren_recording::ProbeLayout;
using tolmaren_recording::SettingLimits;
using tolmaren_recording::StatusWords;

namespace {

constexpr int disconnected = 255;
constexpr unsigned int noElectrodeInBank = 3; // tolmaren_selectElectrode's code

} // namespace

std::string BankSelection::apply(Tolmaren_basestation_api& api, int bank) {
    const int type = api.tolmaren_getOption();
    SettingLimits::require(SettingLimits::bank(type, bank));
    if (!hasShank(type)) return ""; // every channel has its one electrode
    unsigned int first = 0, count = 0;
    for (unsigned int c = 0; c < ProbeLayout::channelsInUse(type); ++c) {
        const int channel = static_cast<int>(c);
        unsigned int status = api.tolmaren_selectElectrode(channel, bank, false);
        if (status == noElectrodeInBank) {
            if (count++ == 0) first = c;
            status = api.tolmaren_selectElectrode(channel, disconnected, false);
        }
        StatusWords::check("tolmaren_selectElectrode", status);
    }
    if (count == 0) return "";
    return "channels " + std::to_string(first) + " to " + std::to_string(first + count - 1) +
           " have no electrode in bank " + std::to_string(bank) + " and record none";
}

bool BankSelection::hasShank(int probeType) {
    return probeType >= 2;
}

} // namespace tolmaren_tools
