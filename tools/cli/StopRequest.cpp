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

void StopRequest::removeTemporariesOnSignal() {
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signal : stopSignals)
        sigaction(signal, &action, nullptr);
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
