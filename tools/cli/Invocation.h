#pragma once

#include <string>
#include <vector>

// What every command shares: the global options and the in-process
// simulator asked for with --sim, whose options are everything after it.
struct Invocation {
    bool verbose = false;
    bool simulator = false;
    std::vector<std::string> simulatorArguments;
};
