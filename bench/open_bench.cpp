// Wall time of a successful live open against the in-process simulator on
// the fixed ports 1234/1235 (run it alone, or in a network namespace of its
// own), split into the fixed 200-ms pause, the datapath flush (which ends
// only after the data link's 1-s read time-out, the stream being held in
// reset) and the rest, which is register traffic: counters report the time
// each part took per open and the configuration requests it sent.
#include <benchmark/benchmark.h>

#include <chrono>

#include "api/Tolmaren_basestation_api.h"
#include "sim/BasestationSimulator.h"

namespace {

using Clock = std::chrono::steady_clock;

class TimedFlushApi : public Tolmaren_basestation_api {
public:
    unsigned int tolmaren_flushData() override {
        const auto start = Clock::now();
        const unsigned int status = Tolmaren_basestation_api::tolmaren_flushData();
        flushSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        return status;
    }
    double flushSeconds = 0;
};

void BM_LiveOpen(benchmark::State& state) {
    tolmaren_sim::SimulatorOptions options;
    options.probeType = static_cast<int>(state.range(0));
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    TimedFlushApi api;
    double total = 0;
    const auto requestsBefore = sim.counters().requests;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (api.tolmaren_open(0) != 0) state.SkipWithError("open failed");
        total += std::chrono::duration<double>(Clock::now() - start).count();
        state.PauseTiming();
        api.tolmaren_close();
        state.ResumeTiming();
    }
    const double opens = static_cast<double>(state.iterations());
    const double sleep = 0.2;
    state.counters["total_s"] = total / opens;
    state.counters["sleep_s"] = sleep;
    state.counters["flush_s"] = api.flushSeconds / opens;
    state.counters["traffic_s"] = (total - api.flushSeconds) / opens - sleep;
    state.counters["requests"] =
        static_cast<double>(sim.counters().requests - requestsBefore) / opens;
}

} // namespace

BENCHMARK(BM_LiveOpen)->Arg(0)->Arg(2)->Arg(3)->Iterations(5)->Unit(benchmark::kMillisecond);
