// The recorder's cost at the probe's real-time rate: the in-process simulator
// streams at real-time pacing (18.36 MB/s) and the recorder records it as
// `tolmaren record` does (a file with its sidecar, fsync every 2 s, every
// block checked and counted), for the argument's seconds of data. The
// library starts no threads, so the recording thread's CPU clock is the
// recorder's whole CPU time; the simulator's threads are left out. The
// recording goes to $TMPDIR (or /tmp) and is removed. The simulator binds the
// basestation's ports 1234 and 1235:
//   flock /tmp/tolmaren_ports.lock ./realtime_recording_bench
// Reported: core_percent, the recorder's CPU time per second of data in
// percent of a core (the target is at most 2), the CPU time per packet, and
// the counts, which must show every packet whole.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

#include "api/Tolmaren_basestation_api.h"
#include "recording/ProbeSnapshot.h"
#include "recording/Recorder.h"
#include "recording/RecordingInfo.h"
#include "recording/Sidecar.h"
#include "sim/BasestationSimulator.h"

namespace {

using tolmaren_recording::Recorder;
using tolmaren_recording::RecordingInfo;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void BM_RealTimeRecording(benchmark::State& state) {
    const auto wanted =
        static_cast<uint64_t>(state.range(0) * RecordingInfo::lfpSampleRateHz); // packets
    tolmaren_sim::SimulatorOptions options;
    options.probeType = 0;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    Tolmaren_basestation_api api;
    if (api.tolmaren_open(0) != 0) return state.SkipWithError("the probe did not open");
    const char* dir = std::getenv("TMPDIR");
    const std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
                             "/tolmaren_realtime_" + std::to_string(getpid()) + ".bin";

    double cpuSeconds = 0;
    uint64_t packets = 0;
    StreamCounts counts;
    for (auto _ : state) {
        Recorder::Options recorderOptions;
        recorderOptions.replace = true;
        Recorder recorder(api, path, tolmaren_recording::ProbeSnapshot::take(api), recorderOptions);
        // As the tool's loop: the counts after every packet.
        const auto recorded = [&recorder] {
            const StreamCounts now = recorder.counts();
            return now.packets + now.packetsAbandoned;
        };
        const double before = threadCpuSeconds();
        while (recorded() < wanted && !recorder.ended())
            recorder.readPacket();
        const Recorder::Summary summary = recorder.finish(RecordingInfo::End::Completed);
        cpuSeconds += threadCpuSeconds() - before;
        packets += summary.counts.packets + summary.counts.packetsAbandoned;
        counts = summary.counts;
        if (summary.ended != RecordingInfo::End::Completed)
            state.SkipWithError("the recording ended early");
    }
    std::remove(path.c_str());
    std::remove(tolmaren_recording::Sidecar::pathFor(path).c_str());
    api.tolmaren_close();

    const double dataSeconds = static_cast<double>(packets) / RecordingInfo::lfpSampleRateHz;
    state.counters["core_percent"] = 100 * cpuSeconds / dataSeconds;
    state.counters["cpu_us_per_packet"] = 1e6 * cpuSeconds / static_cast<double>(packets);
    state.counters["packets"] = static_cast<double>(counts.packets);
    state.counters["abandoned"] = static_cast<double>(counts.packetsAbandoned);
    state.counters["gaps"] = static_cast<double>(counts.gaps);
    state.counters["rejected"] = static_cast<double>(counts.blocksRejected);
}
BENCHMARK(BM_RealTimeRecording)
    ->ArgName("seconds")
    ->Arg(10)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace
