#pragma once

#include <memory>

#include "sim/RigSignals.h"

namespace tolmaren_sim {

// One basestation's place in its rig: the signals it shares and the number of
// its trigger output on the line. By default a lone basestation.
struct RigWiring {
    std::shared_ptr<RigSignals> signals = std::make_shared<RigSignals>();
    unsigned int index = 0;
};

} // namespace tolmaren_sim
