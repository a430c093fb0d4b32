#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/Invocation.h"

// One function per command, each in its own source file: it declares the
// command's options on `app` and the callback that runs it. A command reports
// failure by throwing (tolmaren_recording::ToolError for the expected ones).
void addSimCommand(CLI::App& app, Invocation& invocation);
void addInfoCommand(CLI::App& app, Invocation& invocation);
void addRecordCommand(CLI::App& app, Invocation& invocation);
void addPlayCommand(CLI::App& app, Invocation& invocation);
void addExportCommand(CLI::App& app, Invocation& invocation);
void addPlotCommand(CLI::App& app, Invocation& invocation);
void addEepromCommand(CLI::App& app, Invocation& invocation);
void addSelftestCommand(CLI::App& app, Invocation& invocation);
void addCalibrateCommand(CLI::App& app, Invocation& invocation);
void addViewCommand(CLI::App& app, Invocation& invocation);

// The options of a command that talks to a basestation: --address and --sim.
// With `addresses`, --address may be given several times and fills it.
void addBasestationOptions(CLI::App& command, Invocation& invocation,
                           std::vector<std::string>* addresses = nullptr);
// --low-latency, for the commands that read the live stream.
void addLowLatencyOption(CLI::App& command, Invocation& invocation);
