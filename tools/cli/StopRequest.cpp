#include "cli/StopRequest.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void requestStop(int signal) {
    stopSignal = signal;
}

const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

} // namespace

StopRequest::StopRequest() {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: the library's socket waits go on after a signal.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(stopSignals[i], &action, &previous[i]);
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
