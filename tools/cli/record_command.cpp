// tolmaren record OUT --seconds S | --packets N: records the raw stream of a
// live probe while decoding it, with the sidecar OUT.json; keeps what was
// recorded whatever ends the recording, and says why it ended.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/CommandExit.h"
#include "cli/Commands.h"
#include "cli/FiniteRange.h"
#include "cli/ProbeSession.h"
#include "cli/ProbeSetup.h"
#include "cli/ProgressLine.h"
#include "cli/StopRequest.h"
#include "recording/FreeSpace.h"
#include "recording/ProbeSnapshot.h"
#include "recording/Recorder.h"
#include "recording/RecordingInfo.h"
#include "recording/RecordingReader.h"
#include "recording/Sidecar.h"
#include "recording/StreamCountsText.h"

using tolmaren_recording::Recorder;
using tolmaren_recording::RecordingInfo;
using End = RecordingInfo::End;

namespace {

constexpr double packetsPerSecond = RecordingInfo::lfpSampleRateHz; // one LFP sample each
constexpr double packetBytes = tolmaren_recording::RecordingReader::packetBytes;
constexpr auto progressInterval = std::chrono::milliseconds(250);

struct RecordOptions {
    std::string output;
    double seconds = 0;
    uint64_t packets = 0;
    ProbeSetup setup;
    Recorder::Options recorder;
};

double secondsOf(const StreamCounts& counts) {
    return static_cast<double>(counts.packets + counts.packetsAbandoned) / packetsPerSecond;
}

void summarise(const Recorder::Summary& summary, double wallSeconds) {
    std::printf("%s: %.2f s of data, %llu bytes; %s\n", summary.files.front().c_str(),
                secondsOf(summary.counts), static_cast<unsigned long long>(summary.bytes),
                tolmaren_recording::StreamCountsText::line(summary.counts).c_str());
    if (summary.files.size() > 1) {
        std::printf("recording set of %zu files (the link was reopened):", summary.files.size());
        for (const std::string& file : summary.files)
            std::printf(" %s", file.c_str());
        std::printf("\n");
    }
    if (summary.ended == End::Stopped)
        std::printf("stopped early after %.2f s, %s\n", wallSeconds, summary.endDetail.c_str());
    else if (summary.ended != End::Completed)
        std::printf("ended early: %s: %s\n", RecordingInfo::endName(summary.ended),
                    summary.endDetail.c_str());
    std::printf("sidecar %s\n",
                tolmaren_recording::Sidecar::pathFor(summary.files.front()).c_str());
}

// The exit status tells a complete recording from one that ended early.
void conclude(const Recorder::Summary& summary) {
    if (summary.ended == End::Completed) return;
    char recorded[32];
    std::snprintf(recorded, sizeof recorded, "%.2f s", secondsOf(summary.counts));
    const std::string kept =
        summary.files.front() + " and its sidecar keep the " + recorded + " recorded";
    if (summary.ended == End::Stopped)
        throw CommandExit(CommandExit::stopped, "stopped " + summary.endDetail + "; " + kept);
    throw CommandExit(CommandExit::incomplete, std::string("the recording ended early (") +
                                                   RecordingInfo::endName(summary.ended) + ": " +
                                                   summary.endDetail + "); " + kept);
}

void record(const Invocation& invocation, const RecordOptions& options) {
    const uint64_t wanted =
        options.packets != 0
            ? options.packets
            : static_cast<uint64_t>(std::llround(options.seconds * packetsPerSecond));
    // Past a file size limit a write fails (EFBIG) rather than ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    ProbeSession session(invocation);
    Tolmaren_basestation_api& api = session.api();
    for (const std::string& note : options.setup.apply(api))
        std::cout << note << "\n";
    const std::string space = tolmaren_recording::FreeSpace::warning(
        options.output, static_cast<uint64_t>(static_cast<double>(wanted) * packetBytes),
        static_cast<double>(wanted) / packetsPerSecond);
    if (!space.empty()) std::cerr << space << "\n";

    StopRequest stop;
    Recorder recorder(api, options.output, tolmaren_recording::ProbeSnapshot::take(api),
                      options.recorder);
    ProgressLine progress;
    const auto start = std::chrono::steady_clock::now();
    auto nextUpdate = start;
    double elapsed = 0;
    const auto recorded = [&recorder] {
        const StreamCounts counts = recorder.counts();
        return counts.packets + counts.packetsAbandoned;
    };
    try {
        while (recorded() < wanted && !stop.requested() && !recorder.ended()) {
            recorder.readPacket();
            const auto now = std::chrono::steady_clock::now();
            elapsed = std::chrono::duration<double>(now - start).count();
            if (progress.enabled() && now >= nextUpdate) {
                const auto counts = recorder.counts();
                float fifo = 0; // unknown while the configuration link fails
                try {
                    fifo = api.tolmaren_fifoFilling();
                } catch (const std::exception&) {
                }
                progress.show(static_cast<double>(recorded()) / static_cast<double>(wanted),
                              elapsed,
                              static_cast<double>(counts.packets) * packetBytes / 1e6 / elapsed,
                              fifo, counts.gaps);
                nextUpdate = now + progressInterval;
            }
        }
    } catch (const std::exception& e) {
        progress.finish();
        const Recorder::Summary summary = recorder.finish(End::Failed, e.what());
        summarise(summary, elapsed);
        conclude(summary);
    }
    progress.finish();
    const Recorder::Summary summary = stop.requested()
                                          ? recorder.finish(End::Stopped, stop.reason())
                                          : recorder.finish(End::Completed);
    summarise(summary, elapsed);
    conclude(summary);
}

} // namespace

void addRecordCommand(CLI::App& app, Invocation& invocation) {
    auto options = std::make_shared<RecordOptions>();
    CLI::App* command = app.add_subcommand(
        "record",
        "Open the probe, apply an optional configuration and record the raw stream to OUT while "
        "decoding it, with the sidecar OUT.json (written before the first byte of data). "
        "Whatever ends the recording, OUT and its sidecar stay, and the sidecar says why it "
        "ended. Exit status: 0 the recording is complete; 3 it ended early, by a lost link, a "
        "stall, a full disk or another failure; 4 Ctrl-C, SIGTERM or SIGHUP stopped it early; "
        "1 nothing was recorded (an operation failed); 2 a bad command line");
    command->add_option("OUT", options->output, "Recording file to write")->required();
    auto* seconds = command->add_option("--seconds", options->seconds, "Seconds of data to record")
                        ->check(FiniteRange(1.0 / packetsPerSecond, 1e7));
    auto* packets =
        command->add_option("--packets", options->packets, "Packets to record (2500 a second)")
            ->check(CLI::Range(uint64_t(1), uint64_t(1) << 40));
    seconds->excludes(packets);
    command->add_flag("--force", options->recorder.replace,
                      "Replace OUT and OUT.json when they exist (else they are not touched)");
    command
        ->add_option("--stall-timeout", options->recorder.stallTimeoutSeconds,
                     "Seconds a pause of the stream is waited out before the recording ends "
                     "as stalled")
        ->capture_default_str()
        ->check(CLI::Range(1.0, 86400.0));
    command->add_flag("--reconnect", options->recorder.reconnect,
                      "Reopen a lost link (for up to the stall time-out) and go on recording in "
                      "a new file of the set: OUT's name with -2, -3, ... before its extension, "
                      "each with a sidecar; OUT.json lists them");
    command->add_flag("--no-electrodes-ok", options->recorder.allowNoElectrodes,
                      "Record even when no channel records an electrode (after a plain open of "
                      "probe types 2 and 3, without --bank or --shank-chain)");
    options->setup.addOptions(*command);
    addLowLatencyOption(*command, invocation);
    addBasestationOptions(*command, invocation);
    command->callback([&invocation, options, seconds, packets] {
        if (seconds->count() + packets->count() != 1)
            throw CLI::ValidationError("record", "give --seconds or --packets");
        record(invocation, *options);
    });
}
