// The calibration procedures on the path the tests take: the facade that
// replaces the flush and the settling skips (tests/common/FastCalibrationApi.h)
// over the simulator in fast pacing. One iteration is one whole procedure on
// a freshly opened probe of type 2 (the gain calibration and the impedance
// measurement: of the type in the argument). The facade opens only on the
// basestation's fixed ports 1234 and 1235, so run it where nothing else
// binds them (its own network namespace):
//   ./calibration_bench --benchmark_filter=Offset
// On the wire the same procedures wait a second at every datapath reset:
// `tolmaren calibrate adc --sim` (README, Calibrating).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "common/FastCalibrationApi.h"
#include "link/Diagnostics.h"
#include "sim/BasestationSimulator.h"

namespace {

using Procedure = std::function<unsigned int(FastCalibrationApi&)>;

// Reports go to the temporary directory, not into the working tree.
std::string report(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void run(benchmark::State& state, int probeType, const Procedure& procedure) {
    Diagnostics::redirect(nullptr); // a line per reconnection otherwise
    for (auto _ : state) {
        state.PauseTiming();
        tolmaren_sim::SimulatorOptions options;
        options.probeType = probeType;
        options.data.pacing = tolmaren_sim::DataPacing::Fast;
        tolmaren_sim::BasestationSimulator sim(options);
        sim.start();
        {
            FastCalibrationApi api;
            if (api.tolmaren_open(0) != 0 || api.tolmaren_generateSine(10, false, 9) != 0)
                throw std::runtime_error("the probe did not open");
            state.ResumeTiming();
            const unsigned int status = procedure(api);
            state.PauseTiming();
            if (status != 0) state.SkipWithError("the procedure failed");
        }
        sim.stop();
        state.ResumeTiming();
    }
}

void BM_SlopeCalibration(benchmark::State& state) {
    run(state, 2, [](FastCalibrationApi& api) {
        return api.tolmaren_ADCSlopeCalibration(report("calibration_bench_s.csv"));
    });
}
void BM_OffsetCalibration(benchmark::State& state) {
    run(state, 2, [](FastCalibrationApi& api) {
        return api.tolmaren_ADCOffsetCalibration(report("calibration_bench_o.csv"));
    });
}
void BM_ComparatorCalibration(benchmark::State& state) {
    run(state, 2, [](FastCalibrationApi& api) {
        return api.tolmaren_comparatorCalibration(report("calibration_bench_c.csv"));
    });
}
void BM_GainCalibration(benchmark::State& state) {
    run(state, static_cast<int>(state.range(0)), [](FastCalibrationApi& api) {
        return api.tolmaren_gainCalibration(report("calibration_bench_g.csv"));
    });
}
void BM_ImpedanceMeasurement(benchmark::State& state) {
    run(state, static_cast<int>(state.range(0)), [](FastCalibrationApi& api) {
        return api.tolmaren_impedanceMeasurement(report("calibration_bench_i.csv"));
    });
}

BENCHMARK(BM_SlopeCalibration)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_OffsetCalibration)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComparatorCalibration)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GainCalibration)
    ->Arg(0)
    ->Arg(2)
    ->Arg(3)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImpedanceMeasurement)
    ->Arg(0)
    ->Arg(2)
    ->Arg(3)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
