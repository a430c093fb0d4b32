// End-to-end read of electrode packets: the in-process simulator streams in
// fast pacing over loopback TCP to a facade opened on it as an application
// opens it, which reads with tolmaren_readElectrodeData (socket receive into
// the data link's buffer, marker and index checks, decoding to volts).
// Reported beside a memcpy of the same bytes (7344 a packet, taken from a
// 1 MiB buffer) in the same run, and as a multiple of the probe's real-time
// rate, 18.36 MB/s (30000 blocks of 612 bytes a second). The simulator binds
// the basestation's ports 1234 and 1235, so nothing else may use them:
//   ./end_to_end_read_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "data/TolmarenDataConnectionLink.h"
#include "sim/BasestationSimulator.h"

namespace {

constexpr double realTimeBytesPerSecond = 30000.0 * 612.0;
constexpr std::size_t packetBytes = 12 * 612;

tolmaren_sim::SimulatorOptions fastStream() {
    tolmaren_sim::SimulatorOptions options;
    options.probeType = 2;
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    return options;
}

void setRates(benchmark::State& state) {
    const double bytes = static_cast<double>(state.iterations()) * packetBytes;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["x_realtime"] =
        benchmark::Counter(bytes / realTimeBytesPerSecond, benchmark::Counter::kIsRate);
}

void BM_ReadElectrodeData(benchmark::State& state) {
    tolmaren_sim::BasestationSimulator sim(fastStream());
    sim.start();
    Tolmaren_basestation_api api;
    if (api.tolmaren_open(0) != 0) throw std::runtime_error("the probe did not open");
    ElectrodePacket packet;
    // The first read waits for the simulator to render its signal.
    if (api.tolmaren_readElectrodeData(packet) != 0)
        throw std::runtime_error("the first packet did not decode");
    for (auto _ : state) {
        if (api.tolmaren_readElectrodeData(packet) != 0) {
            state.SkipWithError("a packet did not decode");
            break;
        }
        benchmark::DoNotOptimize(packet.apData[11][383]);
    }
    setRates(state);
}
BENCHMARK(BM_ReadElectrodeData)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_MemcpySameBytes(benchmark::State& state) {
    std::vector<unsigned char> source(TolmarenDataConnectionLink::bufferSize, 0x5A);
    std::vector<unsigned char> target(packetBytes);
    std::size_t offset = 0;
    for (auto _ : state) {
        std::memcpy(target.data(), source.data() + offset, packetBytes);
        benchmark::ClobberMemory();
        offset += packetBytes;
        if (offset + packetBytes > source.size()) offset = 0;
    }
    setRates(state);
}
BENCHMARK(BM_MemcpySameBytes)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
