#pragma once

#include <memory>
#include <optional>

#include "api/Tolmaren_basestation_api.h"
#include "cli/Invocation.h"
#include "sim/SimulatorRig.h"

// A live probe for one command: starts the in-process simulator when --sim
// was given, on the basestation's address (with --basestations a rig from
// there on, whose first basestation the command drives), routes the library's
// diagnostics (shown only with --verbose), and opens the probe at that
// address. Closes the facade before it stops the simulator.
class ProbeSession {
public:
    // Throws ToolError when the simulator's options are bad, it cannot start,
    // or the open fails.
    explicit ProbeSession(const Invocation& invocation);
    // The same with the caller's facade (one that watches the replaceable
    // operations), which must outlive the session.
    ProbeSession(const Invocation& invocation, Tolmaren_basestation_api& api);
    ~ProbeSession();
    ProbeSession(const ProbeSession&) = delete;
    ProbeSession& operator=(const ProbeSession&) = delete;

    Tolmaren_basestation_api& api() { return *api_; }

private:
    // The facade's destructor is not virtual; a final type says that the one
    // this session owns is destroyed as what it is.
    class OwnFacade final : public Tolmaren_basestation_api {};

    void open(const Invocation& invocation);
    void startSimulator(const Invocation& invocation);

    std::unique_ptr<tolmaren_sim::SimulatorRig> simulator_;
    std::optional<OwnFacade> own_;
    Tolmaren_basestation_api* api_;
};
