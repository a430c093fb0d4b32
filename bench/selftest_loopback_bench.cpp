// Self test 4's loopback of the data link at its full length (N = 1, 8, ...
// 8^9 words, 613 MB each way) against the in-process simulator, beside the
// data link's bulk read rate that end_to_end_read_bench measures (compare the
// two bytes_per_second figures; the loopback counts the bytes that came
// back). The LEDs and the memory test are not waited for and the datapath
// reset does not drain, so the time is the loopback's. Uses free ports:
//   ./selftest_loopback_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>

#include "api/Tolmaren_basestation_api.h"
#include "data/TolmarenDataConnectionLink.h"
#include "link/Diagnostics.h"
#include "sim/BasestationSimulator.h"
#include "vci/VciDummy.h"

namespace {

// Words of all ten passes: (8^10 - 1) / 7.
constexpr double loopbackBytes = 4.0 * 153391689.0;

// The facade on the simulator's data port, registers in memory as in
// playback: the LEDs read back, the memory test is never busy, the ASIC mode
// and the datapath reset do nothing (the simulator's probe does not stream).
class LoopbackApi : public Tolmaren_basestation_api {
public:
    explicit LoopbackApi(uint16_t port) {
        dataLink_ = new TolmarenDataConnectionLink("127.0.0.1", port);
        configLink_ = new VciDummy();
        datamodel_ = new neuroprobe(0, configLink_);
        dummyMode_ = true;
        test4Settings_.ledHoldMs = 0;
        test4Settings_.memoryPollMs = 0;
    }
};

void BM_Test4FullLoopback(benchmark::State& state) {
    tolmaren_sim::SimulatorOptions options;
    options.address = "127.0.0.1";
    options.configPort = 0;
    options.data.port = 0;
    Diagnostics::redirect(nullptr); // the in-memory registers trace every access
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    LoopbackApi api(sim.dataPort());
    for (auto _ : state)
        if (api.tolmaren_test4() != 0) state.SkipWithError("test 4 failed");
    state.SetBytesProcessed(static_cast<int64_t>(loopbackBytes * state.iterations()));
}
BENCHMARK(BM_Test4FullLoopback)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
