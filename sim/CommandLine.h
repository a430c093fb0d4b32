#pragma once

#include <string>
#include <vector>

#include "sim/SimulatorOptions.h"

namespace tolmaren_sim {

// The options of the tolmaren_simulator executable.
class CommandLine {
public:
    struct Result {
        SimulatorOptions options; // of the first basestation (SimulatorRig::memberOptions)
        unsigned int basestations = 1;
        bool help = false;
        std::string error; // empty when the arguments were understood
    };

    // args excludes the program name. Options take their value as the next
    // argument or after '='; numbers may be decimal or 0x-prefixed hex.
    static Result parse(const std::vector<std::string>& args);
    static std::string usage();
};

} // namespace tolmaren_sim
