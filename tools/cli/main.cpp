// tolmaren: record, inspect and export neural data from a probe system, or
// from the simulator that stands in for one.
#include <algorithm>
#include <iostream>

#include "api/BasestationAddress.h"
#include "cli/CommandExit.h"
#include "cli/Commands.h"
#include "cli/SimulatorArguments.h"
#include "cli/StopRequest.h"
#include "link/FileDescriptor.h"
#include "recording/ToolError.h"
#include "vci/VciInterface.h"

namespace {

// Everything after --sim belongs to the simulator; --sim itself stays for the
// command's parser, so that a command without it rejects it.
Invocation splitSimulatorArguments(std::vector<std::string>& args) {
    Invocation invocation;
    const auto sim = std::find(args.begin(), args.end(), "--sim");
    if (sim != args.end()) {
        invocation.simulatorArguments.assign(sim + 1, args.end());
        args.erase(sim + 1, args.end());
    }
    return invocation;
}

std::string commandName(const CLI::App& app) {
    std::string name = "tolmaren";
    for (const CLI::App* command = &app; !command->get_subcommands().empty();) {
        command = command->get_subcommands().front();
        name += " " + command->get_name();
    }
    return name;
}

} // namespace

void addBasestationOptions(CLI::App& command, Invocation& invocation,
                           std::vector<std::string>* addresses) {
    const std::string help = "The basestation's IPv4 address (default: $" +
                             std::string(BasestationAddress::environmentVariable) + ", else " +
                             tolmarenBasestationAddress +
                             "); with --sim the simulator listens there";
    CLI::Option* option =
        addresses != nullptr
            ? command.add_option("--address", *addresses,
                                 help + ". Give it once per basestation to use several at once")
            : command.add_option("--address", invocation.address, help);
    option->check(CLI::Validator(
        [](const std::string& address) {
            return BasestationAddress::isValid(address)
                       ? std::string()
                       : address + " is not a numeric IPv4 address (such as 127.0.0.1)";
        },
        "IPV4"));
    command.add_flag("--sim", invocation.simulator,
                     "Start the basestation simulator in this process first. Must come last: "
                     "every option after it is the simulator's (see tolmaren sim --help)");
}

void addLowLatencyOption(CLI::App& command, Invocation& invocation) {
    command.add_flag("--low-latency", invocation.lowLatency,
                     "Hand on each packet as soon as its bytes have arrived, instead of a MiB "
                     "(57 ms of the stream) at a time; the recording is the same");
}

int main(int argc, char** argv) {
    StopRequest::removeTemporariesOnSignal();
    std::vector<std::string> args(argv + 1, argv + argc);
    Invocation invocation = splitSimulatorArguments(args);

    CLI::App app{"Records, inspects and exports neural data from a Tolmaren probe system or its "
                 "simulator.\nExit status: 0 done, 1 an operation failed, 2 a bad command line; "
                 "record also 3 the recording ended early by a failure (link lost, stall, disk "
                 "full) and 4 it was stopped on request, both keeping the recording and a "
                 "sidecar that says why it ended."};
    app.name("tolmaren");
    app.require_subcommand(1);
    app.fallthrough(); // the global options also after a command's name
    app.add_flag("-v,--verbose", invocation.verbose, "Show the library's diagnostic lines");
    addSimCommand(app, invocation);
    addInfoCommand(app, invocation);
    addRecordCommand(app, invocation);
    addPlayCommand(app, invocation);
    addExportCommand(app, invocation);
    addPlotCommand(app, invocation);
    addEepromCommand(app, invocation);
    addSelftestCommand(app, invocation);
    addCalibrateCommand(app, invocation);
    addViewCommand(app, invocation);

    const auto& simulatorArguments = invocation.simulatorArguments;
    if (std::count(simulatorArguments.begin(), simulatorArguments.end(), "--help") +
            std::count(simulatorArguments.begin(), simulatorArguments.end(), "-h") >
        0) {
        std::cout << SimulatorArguments::usage();
        return 0;
    }
    std::reverse(args.begin(), args.end()); // CLI11 takes them last first
    try {
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : CommandExit::badCommandLine;
    } catch (const CommandExit& e) {
        if (*e.what() != '\0') std::cerr << commandName(app) << ": " << e.what() << "\n";
        return e.status();
    } catch (const tolmaren_recording::ToolError& e) {
        std::cerr << commandName(app) << ": " << e.what() << "\n";
        return CommandExit::failed;
    } catch (const VciInterface::Exception& e) {
        std::cerr << commandName(app) << ": the basestation did not answer properly (" << e.what()
                  << ")\n";
        return CommandExit::failed;
    } catch (const morvek::FileDescriptor::Exception& e) {
        std::cerr << commandName(app) << ": the connection to the basestation failed (" << e.what()
                  << ")\n";
        return CommandExit::failed;
    } catch (const std::exception& e) {
        std::cerr << commandName(app) << ": " << e.what() << "\n";
        return CommandExit::failed;
    }
    return 0;
}
