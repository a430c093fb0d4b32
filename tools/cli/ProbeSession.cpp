#include "cli/ProbeSession.h"

#include <csignal>
#include <pthread.h>

#include "cli/SimulatorArguments.h"
#include "link/Diagnostics.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"

using tolmaren_recording::StatusWords;
using tolmaren_recording::ToolError;

namespace {

// What a newcomer most likely lacks when nothing listens on the ports.
constexpr const char* nothingListens = "; is a basestation or `tolmaren sim` running there? "
                                       "(--sim starts a simulator in this process)";

} // namespace

ProbeSession::ProbeSession(const Invocation& invocation) : api_(&own_.emplace()) {
    open(invocation);
}

ProbeSession::ProbeSession(const Invocation& invocation, Tolmaren_basestation_api& api)
    : api_(&api) {
    open(invocation);
}

ProbeSession::~ProbeSession() {
    api_->tolmaren_close();
}

void ProbeSession::open(const Invocation& invocation) {
    if (!invocation.verbose) Diagnostics::redirect(nullptr);
    // Checked on the command line.
    if (!invocation.address.empty()) api_->tolmaren_setBasestationAddress(invocation.address);
    api_->tolmaren_setLowLatency(invocation.lowLatency);
    if (invocation.simulator) startSimulator(invocation);
    unsigned int status;
    try {
        status = api_->tolmaren_open(0);
    } catch (const std::exception& e) {
        throw ToolError(std::string("tolmaren_open failed: the basestation did not answer "
                                    "properly (") +
                        e.what() + ")");
    }
    if (status == 1 || status == 2)
        throw ToolError(StatusWords::openFailure(*api_, status, nothingListens));
    StatusWords::check("tolmaren_open", status);
}

void ProbeSession::startSimulator(const Invocation& invocation) {
    const auto parsed = SimulatorArguments::parse(invocation.simulatorArguments,
                                                  api_->tolmaren_getBasestationAddress());
    simulator_ = std::make_unique<tolmaren_sim::SimulatorRig>(parsed.options, parsed.basestations);
    // The simulator's threads inherit the signal mask: keep Ctrl-C for the
    // command's own thread.
    sigset_t signals, previous;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, &previous);
    try {
        simulator_->start();
    } catch (const std::exception& e) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        throw ToolError(std::string("cannot start the simulator: ") + e.what() +
                        " (is another basestation or simulator using the ports?)");
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}
