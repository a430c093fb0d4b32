#include "tolmaren_tools/BankSelection.h"

#include "recording/ProbeLayout.h"
#include "recording/StatusWords.h"

namespace tolmaren_tools {

using tolmaren_recording::ProbeLayout;
using tolmaren_recording::StatusWords;

namespace {

constexpr int disconnected = 255;
constexpr unsigned int noElectrodeInBank = 3; // tolmaren_selectElectrode's code

} // namespace

std::string BankSelection::apply(Tolmaren_basestation_api& api, int bank) {
    unsigned int first = 0, count = 0;
    for (unsigned int c = 0; c < ProbeLayout::channelsInUse(api.tolmaren_getOption()); ++c) {
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

} // namespace tolmaren_tools
