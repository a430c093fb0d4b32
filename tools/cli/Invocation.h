#pragma once

#include <string>
#include <vector>

// What every command shares: the global options, the basestation's address
// given with --address and the in-process simulator asked for with --sim,
// whose options are everything after it.
struct Invocation {
    bool verbose = false;
    std::string address; // empty: the one the facade chooses
    // --low-latency: live packets as soon as their bytes have arrived.
    bool lowLatency = false;
    bool simulator = false;
    std::vector<std::string> simulatorArguments;
};
