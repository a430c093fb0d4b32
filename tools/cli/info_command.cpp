// tolmaren info: versions, probe identity, temperature, FIFO fill and the
// datapath check of a live system.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "cli/ProbeSession.h"
#include "recording/ProbeLayout.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"

using tolmaren_recording::ProbeLayout;
using tolmaren_recording::StatusWords;

namespace {

void row(const char* name, const std::string& value) {
    std::printf("%-16s %s\n", name, value.c_str());
}

std::string version(const VersionNumber& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor);
}

void showInfo(const Invocation& invocation) {
    ProbeSession session(invocation);
    Tolmaren_basestation_api& api = session.api();

    VersionNumber fpga;
    StatusWords::check("tolmaren_getHardwareVersion", api.tolmaren_getHardwareVersion(&fpga));
    unsigned char bsVersion = 0, bsRevision = 0;
    StatusWords::check("tolmaren_getBSVersion", api.tolmaren_getBSVersion(bsVersion));
    StatusWords::check("tolmaren_getBSRevision", api.tolmaren_getBSRevision(bsRevision));
    float celsius = 0;
    StatusWords::check("tolmaren_readTemperature", api.tolmaren_readTemperature(celsius));
    const AsicID id = api.tolmaren_getId();
    const int type = id.probeType;

    row("address", api.tolmaren_getBasestationAddress());
    row("API version", version(api.tolmaren_getAPIVersion()));
    row("FPGA version", version(fpga));
    row("basestation",
        "version " + std::to_string(bsVersion) + ", revision " + std::to_string(bsRevision));
    row("probe", "serial number " + std::to_string(id.serialNumber) + ", type " +
                     std::to_string(type) + " (" +
                     std::to_string(ProbeLayout::channelsInUse(type)) + " channels, " +
                     std::to_string(ProbeLayout::electrodeCount(type)) + " electrodes)");
    char text[32];
    std::snprintf(text, sizeof text, "%.1f C", celsius);
    row("temperature", text);
    std::snprintf(text, sizeof text, "%.1f %%", api.tolmaren_fifoFilling());
    row("FIFO fill", text);
    const unsigned int datapath = api.tolmaren_checkBasestationDatapath();
    row("datapath check", datapath == 0 ? "no error" : "error");
    std::fflush(stdout);
    StatusWords::check("tolmaren_checkBasestationDatapath", datapath);
}

} // namespace

void addInfoCommand(CLI::App& app, Invocation& invocation) {
    CLI::App* command = app.add_subcommand(
        "info", "Show the API, FPGA and basestation versions, the probe identity, the "
                "temperature, the FIFO fill and the result of the datapath check");
    addBasestationOptions(*command, invocation);
    command->callback([&invocation] { showInfo(invocation); });
}
