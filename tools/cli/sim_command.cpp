// tolmaren sim [SIMULATOR OPTIONS]: the basestation simulator in the
// foreground, until Ctrl-C.
#include <csignal>
#include <iostream>
#include <pthread.h>

#include "api/BasestationAddress.h"
#include "cli/Commands.h"
#include "cli/SimulatorArguments.h"
#include "recording/ToolError.h"
#include "sim/SimulatorRig.h"

using tolmaren_recording::ToolError;

namespace {

void runSimulator(const std::vector<std::string>& arguments) {
    // Where the tool's other commands look for a basestation.
    const auto parsed = SimulatorArguments::parse(arguments, BasestationAddress::fromEnvironment());
    if (parsed.help) {
        std::cout << SimulatorArguments::usage();
        return;
    }
    // Ctrl-C and SIGTERM are taken by sigwait below, so the server threads
    // started afterwards must not receive them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    tolmaren_sim::SimulatorRig rig(parsed.options, parsed.basestations);
    try {
        rig.start();
    } catch (const std::exception& e) {
        throw ToolError(std::string("cannot start the simulator: ") + e.what());
    }
    for (std::size_t k = 0; k < rig.size(); ++k) {
        const auto& simulator = rig.basestation(k);
        std::cout << "simulating probe type " << simulator.probeType() << " on "
                  << simulator.options().address << ", configuration port "
                  << simulator.configPort() << ", data port " << simulator.dataPort()
                  << (k + 1 == rig.size() ? "; Ctrl-C stops" : "") << std::endl;
    }
    int signal = 0;
    sigwait(&signals, &signal);
    std::cout << "stopping" << std::endl;
}

} // namespace

void addSimCommand(CLI::App& app, Invocation&) {
    CLI::App* command = app.add_subcommand(
        "sim", "Run the basestation simulator in the foreground (tolmaren sim --help lists its "
               "options)");
    // Every argument, --help included, is the simulator's.
    command->set_help_flag();
    command->fallthrough(false);
    command->allow_extras();
    command->prefix_command();
    command->callback([command] { runSimulator(command->remaining()); });
}
