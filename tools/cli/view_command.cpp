// tolmaren view: the live signal in a browser, served on this machine while
// the probe records, with recordings started and stopped from the page.
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <random>
#include <thread>

#include "cli/Commands.h"
#include "cli/ProbeSession.h"
#include "cli/ProbeSetup.h"
#include "cli/StopRequest.h"
#include "recording/ProbeSnapshot.h"
#include "recording/Sidecar.h"
#include "recording/ToolError.h"
#include "view/Acquisition.h"
#include "view/PacketRing.h"
#include "view/ViewPipeline.h"
#include "view/ViewServer.h"

namespace {

constexpr uint16_t defaultPort = 8420;
constexpr const char* loopback = "127.0.0.1";
// A fifth of a second of packets: the view thread may fall that far behind
// before the view skips packets.
constexpr std::size_t ringPackets = 512;
constexpr auto pollInterval = std::chrono::milliseconds(100);

struct ViewOptions {
    std::optional<std::string> record;
    uint16_t port = defaultPort;
    std::string listen;
    ProbeSetup setup;
};

std::string randomToken() {
    std::random_device source;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned int>(source()));
        token += hex;
    }
    return token;
}

bool numericAddress(const std::string& address) {
    unsigned char bytes[16];
    return inet_pton(AF_INET, address.c_str(), bytes) == 1 ||
           inet_pton(AF_INET6, address.c_str(), bytes) == 1;
}

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void view(const Invocation& invocation, const ViewOptions& options) {
    ProbeSession session(invocation);
    Tolmaren_basestation_api& api = session.api();
    for (const std::string& note : options.setup.apply(api))
        say(note);
    const tolmaren_recording::RecordingInfo settings = tolmaren_recording::ProbeSnapshot::take(api);

    const bool beyondLoopback = !options.listen.empty();
    const std::string address = beyondLoopback ? options.listen : loopback;
    const std::string token = beyondLoopback ? randomToken() : std::string();
    tolmaren_view::PacketRing ring(ringPackets);
    tolmaren_view::ViewPipeline pipeline(ring, settings);
    tolmaren_view::Acquisition acquisition(api, settings, ring, say);
    tolmaren_view::ViewServer server(address, options.port, token, acquisition, pipeline,
                                     tolmaren_recording::Sidecar::toJson(settings));
    StopRequest stop;
    // Bound first, so that a port in use fails before anything records.
    const uint16_t port = server.start();
    pipeline.start();
    acquisition.start(options.record);

    const std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
    say("view: http://" + host + ":" + std::to_string(port) + "/" +
        (token.empty() ? "" : "?token=" + token));
    if (!beyondLoopback)
        say("from another computer: ssh -L " + std::to_string(port) +
            ":127.0.0.1:" + std::to_string(port) + " THIS-HOST, then open the same address there");
    else if (address == "0.0.0.0" || address == "::")
        say("(with this machine's name or address in place of " + address + ")");
    say("Ctrl-C stops");
    while (!stop.requested() && !acquisition.failure())
        std::this_thread::sleep_for(pollInterval);
    pipeline.stop();
    server.stop();
    acquisition.stop();
    if (const auto failure = acquisition.failure()) throw tolmaren_recording::ToolError(*failure);
}

} // namespace

void addViewCommand(CLI::App& app, Invocation& invocation) {
    auto options = std::make_shared<ViewOptions>();
    CLI::App* command = app.add_subcommand(
        "view", "Open the probe, apply an optional configuration and show the live signal in a "
                "browser: AP traces, activity along the shank, LFP, health and settings, with "
                "recordings started and stopped from the page. Serves on 127.0.0.1 only, unless "
                "--listen is given. Ctrl-C stops (and finishes a recording in progress)");
    command->add_option("--record", options->record,
                        "Record to this file from the start, as `record` does (the page can "
                        "stop it and start others, in the working directory)");
    command->add_option(
        "--port", options->port,
        "TCP port of the page (default 8420; 0: any free one; the address is printed)");
    command
        ->add_option("--listen", options->listen,
                     "Serve on this address instead of 127.0.0.1 (0.0.0.0 for all); the page "
                     "then needs the token that the printed address carries")
        ->check(CLI::Validator(
            [](const std::string& address) {
                return numericAddress(address) ? std::string()
                                               : address + " is not a numeric IPv4 or IPv6 address";
            },
            "ADDRESS"));
    options->setup.addOptions(*command);
    addBasestationOptions(*command, invocation);
    command->callback([&invocation, options] { view(invocation, *options); });
}
