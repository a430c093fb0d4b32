#pragma once

#include <string>

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_tools {

// Every channel of a probe of type 2 or 3 connected to its electrode in one
// bank, in the facade's shank chain model only (the caller writes the chain
// when the probe has one). Higher banks do not reach every channel: those are
// disconnected. Types 0 and 1 have bank 0 alone, which needs no selection.
class BankSelection {
public:
    // Returns a note naming the channels left without an electrode, empty
    // when there are none. Throws SettingError for a bank that holds no
    // electrode of the probe (SettingLimits), StatusError when a selection
    // fails.
    static std::string apply(Tolmaren_basestation_api& api, int bank);
    // Whether the probe type has a shank chain, which apply() changes.
    static bool hasShank(int probeType);
};

} // namespace tolmaren_tools
