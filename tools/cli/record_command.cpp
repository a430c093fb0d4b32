// tolmaren record OUT --seconds S | --packets N: records the raw stream of a
// live probe while decoding it, with the sidecar OUT.json; keeps what was
// recorded whatever ends the recording, and says why it ended. With several
// --address, OUT is a directory that takes one recording per basestation
// and the manifest rig.json (RigRecorder).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <set>
#include <thread>

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
#include "recording/RigRecorder.h"
#include "recording/Sidecar.h"
#include "recording/StreamCountsText.h"

using tolmaren_recording::Recorder;
using tolmaren_recording::RecordingInfo;
using tolmaren_recording::RigRecorder;
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
    std::vector<std::string> addresses;
    bool sync = false;
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

uint64_t packetsWanted(const RecordOptions& options) {
    return options.packets != 0
               ? options.packets
               : static_cast<uint64_t>(std::llround(options.seconds * packetsPerSecond));
}

// The exit status of a rig: that of its worst recording.
void concludeRig(const std::vector<RigRecorder::Outcome>& outcomes, const std::string& manifest) {
    const End worst = RigRecorder::worst(outcomes);
    if (worst == End::Completed) return;
    const bool anything = std::any_of(outcomes.begin(), outcomes.end(),
                                      [](const auto& outcome) { return outcome.packets() > 0; });
    if (!anything)
        throw CommandExit(CommandExit::failed, "nothing was recorded; " + manifest + " says why");
    const std::string kept = "the files and " + manifest + " keep what was recorded";
    if (worst == End::Stopped) throw CommandExit(CommandExit::stopped, "stopped early; " + kept);
    throw CommandExit(CommandExit::incomplete, std::string("a recording ended early (") +
                                                   RecordingInfo::endName(worst) + "); " + kept);
}

void summariseRig(const std::vector<RigRecorder::Outcome>& outcomes, const std::string& manifest) {
    uint64_t bytes = 0;
    double seconds = 0;
    for (const RigRecorder::Outcome& outcome : outcomes) {
        std::printf("%s%s: ", outcome.path.c_str(), outcome.leader ? " (leader)" : "");
        if (!outcome.summary) {
            std::printf("%s\n", outcome.failure.c_str());
            continue;
        }
        const Recorder::Summary& summary = *outcome.summary;
        std::printf("%.2f s of data, %llu bytes; %s; %s%s%s\n", secondsOf(summary.counts),
                    static_cast<unsigned long long>(summary.bytes),
                    tolmaren_recording::StreamCountsText::line(summary.counts).c_str(),
                    RecordingInfo::endName(summary.ended), summary.endDetail.empty() ? "" : ": ",
                    summary.endDetail.c_str());
        bytes += summary.bytes;
        seconds += secondsOf(summary.counts);
    }
    std::printf("%zu probes: %.2f s of data, %llu bytes in all; %s; manifest %s\n", outcomes.size(),
                seconds, static_cast<unsigned long long>(bytes),
                RecordingInfo::endName(RigRecorder::worst(outcomes)), manifest.c_str());
}

// The sessions of a rig, closed in reverse order: the first one owns the
// simulator, which the others' facades still talk to as they close.
struct RigSessions {
    std::vector<std::unique_ptr<ProbeSession>> sessions;
    ~RigSessions() {
        while (!sessions.empty())
            sessions.pop_back();
    }
};

void recordRig(const Invocation& invocation, const RecordOptions& options) {
    const uint64_t wanted = packetsWanted(options);
    std::signal(SIGXFSZ, SIG_IGN);
    RigSessions rig;
    std::vector<RigRecorder::Probe> probes;
    for (std::size_t k = 0; k < options.addresses.size(); ++k) {
        Invocation one = invocation;
        one.address = options.addresses[k];
        one.simulator = invocation.simulator && k == 0;
        rig.sessions.push_back(std::make_unique<ProbeSession>(one));
        Tolmaren_basestation_api& api = rig.sessions.back()->api();
        for (const std::string& note : options.setup.apply(api))
            std::cout << one.address << ": " << note << "\n";
        probes.push_back({&api, tolmaren_recording::ProbeSnapshot::take(api)});
    }
    const std::string space = tolmaren_recording::FreeSpace::warning(
        options.output + "/rig.json",
        static_cast<uint64_t>(static_cast<double>(wanted * probes.size()) * packetBytes),
        static_cast<double>(wanted) / packetsPerSecond);
    if (!space.empty()) std::cerr << space << "\n";

    StopRequest stop;
    RigRecorder::Options rigOptions;
    rigOptions.recorder = options.recorder;
    rigOptions.packets = wanted;
    rigOptions.sync = options.sync;
    RigRecorder recorder(options.output, std::move(probes), rigOptions);
    while (!recorder.done()) {
        if (stop.requested()) recorder.stop(End::Stopped, stop.reason());
        std::this_thread::sleep_for(progressInterval);
    }
    const auto outcomes = recorder.finish();
    summariseRig(outcomes, recorder.manifestPath());
    concludeRig(outcomes, recorder.manifestPath());
}

void record(const Invocation& invocation, const RecordOptions& options) {
    const uint64_t wanted = packetsWanted(options);
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
    command
        ->add_option("OUT", options->output,
                     "Recording file to write; with several --address, the directory that takes "
                     "probe-SERIAL-ADDRESS.bin (and its sidecar) for each, and rig.json")
        ->required();
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
    auto* sync = command->add_flag(
        "--sync", options->sync,
        "With several --address: start them in step. The others wait for the start-trigger "
        "line of the first, whose start starts them all, so that blocks recorded at the same "
        "instant carry the same block counter in every file");
    options->setup.addOptions(*command);
    addLowLatencyOption(*command, invocation);
    addBasestationOptions(*command, invocation, &options->addresses);
    command->callback([&invocation, options, seconds, packets, sync] {
        if (seconds->count() + packets->count() != 1)
            throw CLI::ValidationError("record", "give --seconds or --packets");
        if (options->addresses.size() > 1) {
            const std::set<std::string> distinct(options->addresses.begin(),
                                                 options->addresses.end());
            if (distinct.size() != options->addresses.size())
                throw CLI::ValidationError("record", "give each --address once");
            recordRig(invocation, *options);
            return;
        }
        if (sync->count() != 0)
            throw CLI::ValidationError("record", "--sync needs two or more --address");
        if (!options->addresses.empty()) invocation.address = options->addresses.front();
        record(invocation, *options);
    });
}
