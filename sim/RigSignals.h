#pragma once

#include <optional>

#include "sim/RigClock.h"
#include "sim/TriggerLine.h"

namespace tolmaren_sim {

// What the basestations of a rig share: the clock their probes go by, the
// synchronization input and the start-trigger line. A lone basestation has
// them to itself.
struct RigSignals {
    RigClock clock;
    TriggerLine line;
    // When the synchronization input's square wave started, on the clock. A
    // lone basestation has none: its wave starts again with every stream.
    std::optional<RigClock::time_point> syncEpoch;
};

} // namespace tolmaren_sim
