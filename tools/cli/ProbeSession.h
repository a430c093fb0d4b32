#pragma once

#include <memory>

#include "api/Tolmaren_basestation_api.h"
#include "cli/Invocation.h"
#include "sim/BasestationSimulator.h"

// A live probe for one command: starts the in-process simulator when --sim
// was given, routes the library's diagnostics (shown only with --verbose),
// and opens the probe. Closes the facade before it stops the simulator.
class ProbeSession {
public:
    // Throws ToolError when the simulator's options are bad, it cannot start,
    // or the open fails.
    explicit ProbeSession(const Invocation& invocation);

    Tolmaren_basestation_api& api() { return api_; }

private:
    void startSimulator(const Invocation& invocation);

    std::unique_ptr<tolmaren_sim::BasestationSimulator> simulator_;
    Tolmaren_basestation_api api_;
};
