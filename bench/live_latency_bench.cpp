// Latency of live reads at the probe's real-time rate: from the moment the
// in-process simulator produces a block (real-time pacing, told through its
// data port's onProduced hook) to the moment the application holds the
// packet from the facade's stream decoder. The same run measures the data
// link as it is by default (1-MiB refills, about 57 ms of stream) and with
// low-latency reads. Counters in milliseconds: the median, 99th percentile
// and largest latency of a packet from its last block (the earliest it could
// be had), and the median from its first block. The simulator binds the
// basestation's ports 1234 and 1235, so nothing else may use them:
//   ./live_latency_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "sim/BasestationSimulator.h"

namespace {

using Clock = std::chrono::steady_clock;

// Packets read and dropped before measuring: the open's datapath resets
// leave data of earlier streams behind, whose block numbers the current
// stream reuses, and the simulator renders its signal during the first
// 0.4 s.
constexpr unsigned int warmUpPackets = 2500; // one second
constexpr unsigned int measuredPackets = 12500;

// When each block was produced, by block number modulo 2^20 (35 s of
// stream; the 24-bit block counter is a multiple of it).
class ProductionTimes {
public:
    ProductionTimes() : nanoseconds_(slots) {}

    void produced(uint64_t first, uint64_t count, Clock::time_point when) {
        const int64_t at =
            std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
        for (uint64_t unit = first; unit < first + count; ++unit)
            nanoseconds_[unit % slots].store(at, std::memory_order_release);
    }
    // Milliseconds from the production of the block with this counter to now.
    double since(uint32_t counter, Clock::time_point now) const {
        const int64_t at = nanoseconds_[counter % slots].load(std::memory_order_acquire);
        const int64_t nowNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
        return static_cast<double>(nowNs - at) / 1e6;
    }

private:
    static constexpr std::size_t slots = std::size_t(1) << 20;
    std::vector<std::atomic<int64_t>> nanoseconds_;
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

void BM_LiveReadLatency(benchmark::State& state) {
    const bool lowLatency = state.range(0) != 0;
    ProductionTimes times; // outlives the simulator that writes it
    tolmaren_sim::SimulatorOptions options;
    options.probeType = 2;
    options.data.onProduced = [&times](uint64_t first, uint64_t count, Clock::time_point when) {
        times.produced(first, count, when);
    };
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    Tolmaren_basestation_api api;
    api.tolmaren_redirectDiagnostics(nullptr);
    api.tolmaren_setLowLatency(lowLatency);
    if (api.tolmaren_open(0) != 0) throw std::runtime_error("the probe did not open");
    StreamDecoder& decoder = api.tolmaren_getStreamDecoder();
    for (unsigned int p = 0; p < warmUpPackets; ++p)
        if (decoder.next() == nullptr) throw std::runtime_error("the stream paused");

    std::vector<double> fromLast, fromFirst;
    fromLast.reserve(measuredPackets);
    fromFirst.reserve(measuredPackets);
    for (auto _ : state) {
        const CodePacket* packet = decoder.next();
        const Clock::time_point now = Clock::now();
        if (packet == nullptr || !packet->whole()) {
            state.SkipWithError("a packet did not come whole");
            break;
        }
        fromLast.push_back(times.since(packet->counter[11][0], now));
        fromFirst.push_back(times.since(packet->counter[0][0], now));
    }
    state.counters["median_ms"] = percentile(fromLast, 0.5);
    state.counters["p99_ms"] = percentile(fromLast, 0.99);
    state.counters["max_ms"] = percentile(fromLast, 1.0);
    state.counters["median_first_block_ms"] = percentile(fromFirst, 0.5);
    api.tolmaren_close();
}
BENCHMARK(BM_LiveReadLatency)
    ->ArgName("low_latency")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(measuredPackets)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
