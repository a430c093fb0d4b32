// A rig recording of N probes at the probe's real rate (in-process simulator
// rig, real-time pacing, synchronised start) should cost N times what one
// probe's recording costs, within 20 %: the recorders share nothing but the
// process. Measured: the processor time of the recording threads while they
// record (RigRecorder's per-thread CPU time: reading the socket, decoding,
// writing the file), not the simulator's threads, per second of recording and
// per probe. The recordings go to $TMPDIR (or /tmp) and are removed; the
// simulator binds the ports 1234 and 1235 of 127.0.0.1 and the addresses
// after it:
//   ./rig_record_bench
// Reported: cpu_per_second (all recorders' CPU seconds per second of
// recording), cpu_per_probe_second (the same per probe; the target is that of
// N = 1 within 20 %), and the packets recorded.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "recording/ProbeSnapshot.h"
#include "recording/RigRecorder.h"
#include "sim/SimulatorRig.h"

namespace {

using tolmaren_recording::RigRecorder;

constexpr const char* firstAddress = "127.0.0.1";
constexpr uint64_t packets = 5 * 2500; // five seconds

std::string scratchDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/rig_record_bench." +
           std::to_string(::getpid());
}

void BM_RigRecord(benchmark::State& state) {
    const auto probes = static_cast<unsigned int>(state.range(0));
    tolmaren_sim::SimulatorOptions options;
    options.address = firstAddress;
    options.data.pacing = tolmaren_sim::DataPacing::RealTime;
    tolmaren_sim::SimulatorRig rig(options, probes);
    rig.start();
    std::vector<std::unique_ptr<Tolmaren_basestation_api>> apis;
    std::vector<std::thread> opening;
    for (unsigned int k = 0; k < probes; ++k) {
        apis.push_back(std::make_unique<Tolmaren_basestation_api>());
        apis[k]->tolmaren_setBasestationAddress(
            tolmaren_sim::SimulatorRig::address(firstAddress, k));
        opening.emplace_back([&, k] { apis[k]->tolmaren_open(0); });
    }
    for (std::thread& thread : opening)
        thread.join();

    const std::string directory = scratchDirectory();
    double cpuSeconds = 0;
    double recordedSeconds = 0;
    uint64_t recorded = 0;
    for (auto _ : state) {
        std::vector<RigRecorder::Probe> rigProbes;
        for (auto& api : apis)
            rigProbes.push_back({api.get(), tolmaren_recording::ProbeSnapshot::take(*api)});
        RigRecorder::Options rigOptions;
        rigOptions.packets = packets;
        rigOptions.sync = probes > 1;
        rigOptions.recorder.replace = true;
        RigRecorder recorder(directory, std::move(rigProbes), rigOptions);
        for (const auto& outcome : recorder.finish()) {
            if (outcome.ended() != tolmaren_recording::RecordingInfo::End::Completed)
                state.SkipWithError((outcome.path + " did not complete").c_str());
            cpuSeconds += outcome.cpuSeconds;
            recorded += outcome.packets();
        }
        recordedSeconds += static_cast<double>(packets) / 2500.0;
    }
    std::filesystem::remove_all(directory);
    for (auto& api : apis)
        api->tolmaren_close();
    rig.stop();
    state.counters["cpu_per_second"] = cpuSeconds / recordedSeconds;
    state.counters["cpu_per_probe_second"] = cpuSeconds / recordedSeconds / probes;
    state.counters["packets"] = static_cast<double>(recorded);
}

BENCHMARK(BM_RigRecord)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Iterations(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace
