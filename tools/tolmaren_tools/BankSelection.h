#pragma once

#include <string>

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_tools {

// Every channel of a probe of type 2 or 3 connected to its electrode in one
// bank, in the facade's shank chain model only (the caller writes the chain).
// Higher banks do not reach every channel: those are disconnected.
class BankSelection {
public:
    // Returns a note naming the channels left without an electrode, empty
    // when there are none. Throws StatusError when a selection fails.
    static std::string apply(Tolmaren_basestation_api& api, int bank);
};

} // namespace tolmaren_tools
