#include <csignal>
#include <exception>
#include <iostream>
#include <pthread.h>

#include "sim/CommandLine.h"
#include "sim/SimulatorRig.h"

using tolmaren_sim::CommandLine;
using tolmaren_sim::SimulatorRig;

int main(int argc, char** argv) {
    const CommandLine::Result arguments = CommandLine::parse({argv + 1, argv + argc});
    if (!arguments.error.empty()) {
        std::cerr << "tolmaren_simulator: " << arguments.error << " (see --help)\n";
        return 2;
    }
    if (arguments.help) {
        std::cout << CommandLine::usage();
        return 0;
    }

    // The signals are taken by sigwait below, so the server threads started
    // afterwards must not receive them. A shell starts background jobs with
    // SIGINT ignored, and an ignored signal never reaches sigwait.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        SimulatorRig rig(arguments.options, arguments.basestations);
        rig.start();
        for (std::size_t k = 0; k < rig.size(); ++k) {
            const auto& simulator = rig.basestation(k);
            std::cout << "tolmaren_simulator: probe type " << simulator.probeType()
                      << ", configuration port listening on " << simulator.options().address << ":"
                      << simulator.configPort() << ", data port on " << simulator.dataPort()
                      << std::endl;
        }
        int signal = 0;
        sigwait(&signals, &signal);
        std::cout << "tolmaren_simulator: stopping" << std::endl;
        rig.stop();
    } catch (const std::exception& e) {
        std::cerr << "tolmaren_simulator: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
