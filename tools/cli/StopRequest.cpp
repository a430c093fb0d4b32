#include "cli/StopRequest.h"

#include <csignal>

#include "recording/TemporaryFiles.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void requestStop(int signal) {
    stopSignal = signal;
}

extern "C" void removeTemporariesAndEnd(int signal) {
    tolmaren_recording::TemporaryFiles::removeAll();
    // The default action once this handler returns: the end that the
    // program's parent sees.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

// Handles the three signals, but leaves ignored the ones the program was
// started ignoring (nohup, a script's background job).
void handleSignals(void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    for (int i = 0; i < 3; ++i) {
        sigaction(stopSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) sigaction(stopSignals[i], &action, nullptr);
    }
}

} // namespace

StopRequest::StopRequest() {
    stopSignal = 0;
    // Restarted system calls: the library's socket waits go on after a signal.
    handleSignals(requestStop, SA_RESTART);
}

void StopRequest::removeTemporariesOnSignal() {
    handleSignals(removeTemporariesAndEnd, 0);
}

StopRequest::~StopRequest() {
    for (int i = 0; i < 3; ++i)
        sigaction(stopSignals[i], &previous[i], nullptr);
}

bool StopRequest::requested() const {
    return stopSignal != 0;
}

std::string StopRequest::reason() const {
    switch (stopSignal) {
    case 0:
        return "";
    case SIGINT:
        return "on request (SIGINT, Ctrl-C)";
    case SIGTERM:
        return "on request (SIGTERM)";
    default:
        return "on request (SIGHUP: the terminal closed)";
    }
}
