// One verified write of the base chain (7414 bits, 927 shift words) against the
// in-process simulator on the configuration port 1235: wall time, register
// accesses seen at the facade's register interface, round trips on the
// configuration link counted by the simulator, the client thread's CPU time
// per access and the CPU time of the simulator's threads per round trip.
// After each write as many plain socket round trips of a reply-sized message
// are timed on loopback, so that the write's wall time is set against the
// round trips it cannot do without, under the same load (rtt_ratio = write
// wall time / (round trips x raw round trip)). The argument places the client
// and its peers, the simulator and the echo (ThreadPlacement.h). Run under the
// port lock:
//   flock /tmp/tolmaren_ports.lock ./base_chain_write_bench
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <chrono>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "ThreadPlacement.h"
#include "api/Tolmaren_basestation_api.h"
#include "sim/BasestationSimulator.h"

namespace {

using Clock = std::chrono::steady_clock;

// A single register read's reply as framed on the wire: flag, three words,
// flag and two flags of padding.
constexpr std::size_t replyBytes = 16;

bool transferAll(int socket, unsigned char* bytes, std::size_t length, bool sending) {
    for (std::size_t done = 0; done < length;) {
        const ssize_t n = sending ? ::send(socket, bytes + done, length - done, MSG_NOSIGNAL)
                                  : ::recv(socket, bytes + done, length - done, 0);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Plain blocking sockets on loopback: a thread echoes each reply-sized message
// until the client closes the connection.
class PingPong {
public:
    PingPong() {
        const int listening = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listening, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listening, 1) != 0 ||
            ::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on a loopback port");
        echo_ = std::thread([listening] {
            const int connection = ::accept(listening, nullptr, nullptr);
            ::close(listening);
            const int on = 1; // as the simulator's configuration port
            ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            unsigned char message[replyBytes];
            while (transferAll(connection, message, sizeof message, false) &&
                   transferAll(connection, message, sizeof message, true)) {
            }
            ::close(connection);
        });
        client_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(client_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot connect to the loopback echo");
    }
    ~PingPong() {
        ::close(client_);
        echo_.join();
    }
    // The wall time of that many round trips.
    Clock::duration roundTrips(uint64_t count) {
        unsigned char message[replyBytes] = {0x7E, 0x01};
        const Clock::time_point start = Clock::now();
        for (uint64_t k = 0; k < count; ++k) {
            if (!transferAll(client_, message, sizeof message, true) ||
                !transferAll(client_, message, sizeof message, false))
                throw std::runtime_error("loopback echo failed");
        }
        return Clock::now() - start;
    }

private:
    int client_ = -1;
    std::thread echo_;
};

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

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
    ThreadPlacement placement(state);
    tolmaren_sim::SimulatorOptions options;
    options.probeType = 2;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    PingPong raw;
    placement.client();
    CountingApi api;
    CountingVci& counting = api.connect();

    uint64_t accesses = 0;
    uint64_t roundTrips = 0;
    uint64_t writes = 0;
    double writeSeconds = 0;
    double rawSeconds = 0;
    double clientCpuSeconds = 0;
    double processCpuSeconds = 0;
    double rawClientCpuSeconds = 0;
    for (auto _ : state) {
        const uint64_t accessesBefore = counting.total();
        const uint64_t requestsBefore = sim.counters().requests;
        const double clientBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const Clock::time_point start = Clock::now();
        if (api.tolmaren_writeBaseRegister(true) != 0) {
            state.SkipWithError("verified base write failed");
            break;
        }
        writeSeconds += seconds(Clock::now() - start);
        clientCpuSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - clientBefore;
        processCpuSeconds += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
        accesses += counting.total() - accessesBefore;
        const uint64_t trips = sim.counters().requests - requestsBefore;
        roundTrips += trips;
        ++writes;
        state.PauseTiming();
        const double rawCpuBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        rawSeconds += seconds(raw.roundTrips(trips));
        rawClientCpuSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - rawCpuBefore;
        state.ResumeTiming();
    }
    if (writes == 0) return;
    state.counters["raw_rtt_us"] = 1e6 * rawSeconds / static_cast<double>(roundTrips);
    state.counters["rtt_ratio"] = writeSeconds / rawSeconds;
    state.counters["client_cpu_us_per_access"] =
        1e6 * clientCpuSeconds / static_cast<double>(accesses);
    state.counters["raw_client_cpu_us_per_round_trip"] =
        1e6 * rawClientCpuSeconds / static_cast<double>(roundTrips);
    state.counters["sim_cpu_us_per_round_trip"] =
        1e6 * (processCpuSeconds - clientCpuSeconds) / static_cast<double>(roundTrips);
    state.counters["register_accesses"] = static_cast<double>(accesses) / writes;
    state.counters["round_trips"] = static_cast<double>(roundTrips) / writes;
    state.counters["single_reads"] = static_cast<double>(counting.reads) / writes;
    state.counters["single_writes"] = static_cast<double>(counting.writes) / writes;
    state.counters["bursts"] =
        static_cast<double>(counting.burstReads + counting.burstWrites) / writes;
    state.counters["burst_words"] = static_cast<double>(counting.burstWords) / writes;
}

BENCHMARK(BM_VerifiedBaseChainWrite)
    ->Apply(ThreadPlacement::each)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
