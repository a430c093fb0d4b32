#include "cli/SimulatorArguments.h"

#include <CLI/CLI.hpp>

tolmaren_sim::CommandLine::Result
SimulatorArguments::parse(const std::vector<std::string>& arguments, const std::string& address) {
    // A later --address overrides this one.
    std::vector<std::string> withAddress{"--address", address};
    withAddress.insert(withAddress.end(), arguments.begin(), arguments.end());
    auto parsed = tolmaren_sim::CommandLine::parse(withAddress);
    if (!parsed.error.empty())
        throw CLI::ValidationError("bad simulator option: " + parsed.error +
                                   " (see tolmaren sim --help)");
    return parsed;
}

std::string SimulatorArguments::usage() {
    std::string usage = tolmaren_sim::CommandLine::usage();
    const std::string program = "tolmaren_simulator";
    usage.replace(usage.find(program), program.size(), "tolmaren sim");
    return usage;
}
