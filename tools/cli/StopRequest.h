#pragma once

#include <string>

// Ctrl-C (SIGINT), SIGTERM or SIGHUP (the terminal closed) as a request to
// stop, polled by a command that runs until done, so that it can finish its
// files cleanly. The previous handlers come back on destruction. A signal the
// program was started ignoring stays ignored.
class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    // Outside a StopRequest: the three signals end the program at once, as
    // they would by default, after removing the temporary files it made
    // (TemporaryFiles). Called once at the start.
    static void removeTemporariesOnSignal();

    bool requested() const;
    // "on request (SIGTERM)": which signal asked; empty before one came.
    std::string reason() const;
};
