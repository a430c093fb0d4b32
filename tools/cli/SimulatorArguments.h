#pragma once

#include <string>
#include <vector>

#include "sim/CommandLine.h"

// The simulator's own options, shared by `tolmaren sim` and --sim.
class SimulatorArguments {
public:
    // The simulator listens on `address` unless the arguments give another.
    // Throws CLI::ValidationError, a bad command line, for an option the
    // simulator does not understand.
    static tolmaren_sim::CommandLine::Result parse(const std::vector<std::string>& arguments,
                                                   const std::string& address);
    static std::string usage();
};
