// tolmaren record OUT --seconds S | --packets N: records the raw stream of a
// live probe while decoding it, and writes the sidecar OUT.json.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "cli/ProbeSession.h"
#include "cli/ProbeSetup.h"
#include "cli/ProgressLine.h"
#include "cli/StopRequest.h"
#include "recording/ProbeSnapshot.h"
#include "recording/Recorder.h"
#include "recording/RecordingInfo.h"
#include "recording/RecordingReader.h"
#include "recording/Sidecar.h"
#include "recording/StreamCountsText.h"

using tolmaren_recording::Recorder;
using tolmaren_recording::RecordingInfo;

namespace {

constexpr double packetsPerSecond = RecordingInfo::lfpSampleRateHz; // one LFP sample each
constexpr double packetBytes = tolmaren_recording::RecordingReader::packetBytes;
constexpr auto progressInterval = std::chrono::milliseconds(250);

struct RecordOptions {
    std::string output;
    double seconds = 0;
    uint64_t packets = 0;
    ProbeSetup setup;
};

void summarise(const std::string& output, const RecordingInfo& info, double wallSeconds) {
    std::printf("%s: %.2f s of data, %llu bytes; %s\n", output.c_str(),
                static_cast<double>(info.counts.packets) / packetsPerSecond,
                static_cast<unsigned long long>(info.bytes),
                tolmaren_recording::StreamCountsText::line(info.counts).c_str());
    if (info.interrupted) std::printf("stopped early after %.2f s, on request\n", wallSeconds);
    std::printf("sidecar %s\n", tolmaren_recording::Sidecar::pathFor(output).c_str());
}

void record(const Invocation& invocation, const RecordOptions& options) {
    const uint64_t wanted =
        options.packets != 0
            ? options.packets
            : static_cast<uint64_t>(std::llround(options.seconds * packetsPerSecond));
    ProbeSession session(invocation);
    Tolmaren_basestation_api& api = session.api();
    for (const std::string& note : options.setup.apply(api))
        std::cout << note << "\n";

    StopRequest stop;
    Recorder recorder(api, options.output, tolmaren_recording::ProbeSnapshot::take(api));
    ProgressLine progress;
    const auto start = std::chrono::steady_clock::now();
    auto nextUpdate = start;
    double elapsed = 0;
    const auto recorded = [&recorder] {
        const StreamCounts counts = recorder.counts();
        return counts.packets + counts.packetsAbandoned;
    };
    while (recorded() < wanted && !stop.requested()) {
        if (recorder.readPacket() == nullptr) break;
        const auto now = std::chrono::steady_clock::now();
        elapsed = std::chrono::duration<double>(now - start).count();
        if (progress.enabled() && now >= nextUpdate) {
            const auto counts = recorder.counts();
            progress.show(static_cast<double>(recorded()) / static_cast<double>(wanted), elapsed,
                          static_cast<double>(counts.packets) * packetBytes / 1e6 / elapsed,
                          api.tolmaren_fifoFilling(), counts.gaps);
            nextUpdate = now + progressInterval;
        }
    }
    progress.finish();
    summarise(options.output, recorder.finish(stop.requested()), elapsed);
}

} // namespace

void addRecordCommand(CLI::App& app, Invocation& invocation) {
    auto options = std::make_shared<RecordOptions>();
    CLI::App* command = app.add_subcommand(
        "record", "Open the probe, apply an optional configuration and record the raw stream to "
                  "OUT while decoding it; writes the sidecar OUT.json. Ctrl-C stops early and "
                  "keeps a complete recording");
    command->add_option("OUT", options->output, "Recording file to write")->required();
    auto* seconds = command->add_option("--seconds", options->seconds, "Seconds of data to record")
                        ->check(CLI::Range(1.0 / packetsPerSecond, 1e7));
    auto* packets =
        command->add_option("--packets", options->packets, "Packets to record (2500 a second)")
            ->check(CLI::Range(uint64_t(1), uint64_t(1) << 40));
    seconds->excludes(packets);
    options->setup.addOptions(*command);
    addLowLatencyOption(*command, invocation);
    addBasestationOptions(*command, invocation);
    command->callback([&invocation, options, seconds, packets] {
        if (seconds->count() + packets->count() != 1)
            throw CLI::ValidationError("record", "give --seconds or --packets");
        record(invocation, *options);
    });
}
