// One verified write of the base chain (7414 bits, 927 shift words) against the
// in-process simulator on the configuration port 1235: wall time, register
// accesses seen at the facade's register interface, and round trips on the
// configuration link counted by the simulator. Run under the port lock:
//   flock /tmp/tolmaren_ports.lock ./base_chain_write_bench
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

#include "api/Tolmaren_basestation_api.h"
#include "sim/BasestationSimulator.h"

namespace {

// Counts the accesses a facade makes, one per call of the interface; each is
// one request/reply transaction on the live link.
class CountingVci : public VciInterface {
public:
    explicit CountingVci(VciInterface* inner) : inner_(inner) {}

    void vciWrite(unsigned int address, unsigned int data) override {
        ++writes;
        inner_->vciWrite(address, data);
    }
    unsigned int vciRead(unsigned int address) override {
        ++reads;
        return inner_->vciRead(address);
    }
    unsigned int getVciDataWidth() const override {
        ++infoQueries;
        return inner_->getVciDataWidth();
    }
    void vciBurstWrite(unsigned int address, const std::vector<unsigned int>& data,
                       IncrementAddress increment) override {
        ++burstWrites;
        burstWords += data.size();
        inner_->vciBurstWrite(address, data, increment);
    }
    std::vector<unsigned int> vciBurstRead(unsigned int address, unsigned int count,
                                           IncrementAddress increment) override {
        ++burstReads;
        burstWords += count;
        return inner_->vciBurstRead(address, count, increment);
    }

    uint64_t total() const { return reads + writes + burstReads + burstWrites + infoQueries; }

    uint64_t reads = 0;
    uint64_t writes = 0;
    uint64_t burstReads = 0;
    uint64_t burstWrites = 0;
    uint64_t burstWords = 0;
    mutable uint64_t infoQueries = 0;

private:
    std::unique_ptr<VciInterface> inner_;
};

// The facade on the live link, with the counter slipped in under its map.
class CountingApi : public Tolmaren_basestation_api {
public:
    CountingVci& connect() {
        if (setupConfigLink() != 0)
            throw std::runtime_error("no configuration link to the simulator");
        auto* counting = new CountingVci(configLink_);
        configLink_ = counting;
        delete datamodel_;
        datamodel_ = new neuroprobe(0, configLink_);
        return *counting;
    }
};

void BM_VerifiedBaseChainWrite(benchmark::State& state) {
    tolmaren_sim::SimulatorOptions options;
    options.probeType = 2;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    CountingApi api;
    CountingVci& counting = api.connect();

    uint64_t accesses = 0;
    uint64_t roundTrips = 0;
    uint64_t writes = 0;
    for (auto _ : state) {
        const uint64_t accessesBefore = counting.total();
        const uint64_t requestsBefore = sim.counters().requests;
        if (api.tolmaren_writeBaseRegister(true) != 0) {
            state.SkipWithError("verified base write failed");
            break;
        }
        accesses += counting.total() - accessesBefore;
        roundTrips += sim.counters().requests - requestsBefore;
        ++writes;
    }
    if (writes == 0) return;
    state.counters["register_accesses"] = static_cast<double>(accesses) / writes;
    state.counters["round_trips"] = static_cast<double>(roundTrips) / writes;
    state.counters["single_reads"] = static_cast<double>(counting.reads) / writes;
    state.counters["single_writes"] = static_cast<double>(counting.writes) / writes;
    state.counters["bursts"] =
        static_cast<double>(counting.burstReads + counting.burstWrites) / writes;
    state.counters["burst_words"] = static_cast<double>(counting.burstWords) / writes;
}

BENCHMARK(BM_VerifiedBaseChainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
