// The simulator's ADC packets in calibration mode (SarCal, the generator on a
// DC level), fast pacing, in-process, over loopback TCP:
//   - BM_Serve*: what the simulator serves to a reader that only counts
//     bytes, ADC records in calibration mode beside electrode blocks of the
//     neural signal;
//   - BM_ReadAdcCalibrationData: read and decoded by the facade, to compare
//     with end_to_end_read_bench's BM_ReadElectrodeData;
//   - BM_SlopeSweepStep: one step of the slope sweep as the simulator sees
//     it: new level, mode 0, datapath reset set, the stream drained (not
//     timed: the host's flush waits a second there), reset cleared, mode 1,
//     then 3001 packets; the counter first_fresh_us is the time from mode 1
//     to the first record of the new stream.
// Uses free ports, so it needs no port lock:
//   ./adc_calibration_stream_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "api/Tolmaren_basestation_api.h"
#include "config/AsicID.h"
#include "config/BaseConfiguration.h"
#include "config/ShiftWords.h"
#include "data/TolmarenDataConnectionLink.h"
#include "sim/BasestationSimulator.h"
#include "vci/VciDummy.h"

namespace {

using Clock = std::chrono::steady_clock;
using tolmaren_sim::BasestationRegisters;
using tolmaren_sim::HardwareModel;

constexpr std::size_t recordBytes = 48;
constexpr std::size_t packetBytes = 13 * recordBytes;
// DAC codes of the levels "150" and "1050".
constexpr uint16_t levelCodes[] = {2925, 20977};

std::unique_ptr<tolmaren_sim::BasestationSimulator> simulator() {
    tolmaren_sim::SimulatorOptions options;
    options.probeType = 2;
    options.address = "127.0.0.1";
    options.configPort = 0;
    options.data.port = 0;
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    auto sim = std::make_unique<tolmaren_sim::BasestationSimulator>(options);
    sim->start();
    return sim;
}

// The probe converts the generator's level: base chain with SarCal shifted
// in, the generator on DC, calibration mode, ADC data mode.
void calibrate(tolmaren_sim::BasestationSimulator& sim) {
    AsicID id{0, 2};
    BaseConfiguration base(&id);
    base.setAdditionalSettingSarCal(true);
    std::vector<bool> chain;
    base.getChain(chain);
    sim.modify([&](HardwareModel& hw) {
        hw.headstage.write(0x50, 0);
        for (unsigned short word : ShiftWords::pack(chain, false))
            hw.headstage.shiftWord(word);
        hw.headstage.write(0x40, 0x01);
        hw.headstage.write(0x41, levelCodes[0] >> 8);
        hw.headstage.write(0x42, levelCodes[0] & 0xFF);
        hw.registers.write(BasestationRegisters::datamode, 0);
        hw.asic.setMode(1);
    });
}

// A reader of the data port that takes whole units and looks at nothing but
// ADC record counters.
class RawReader {
public:
    explicit RawReader(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot connect to the data port");
    }
    ~RawReader() { ::close(fd_); }
    // The next n bytes (n at most the buffer).
    const uint8_t* take(std::size_t n) {
        std::size_t have = 0;
        while (have < n) {
            const ssize_t got = ::recv(fd_, buffer_ + have, n - have, 0);
            if (got <= 0) throw std::runtime_error("the data port closed");
            have += static_cast<std::size_t>(got);
        }
        return buffer_;
    }
    // Reads ADC records until one carries counter 0, the start of a stream.
    void skipToStreamStart() {
        for (;;) {
            const uint8_t* r = take(recordBytes);
            if ((r[1] | r[2] | r[3]) == 0) return;
        }
    }
    // Discards everything until nothing arrives for the pause, as the
    // host's flush does during a datapath reset (with a pause of a second).
    void drain(int pauseMs) {
        pollfd fds{fd_, POLLIN, 0};
        while (::poll(&fds, 1, pauseMs) > 0)
            if (::recv(fd_, buffer_, sizeof buffer_, 0) <= 0)
                throw std::runtime_error("the data port closed");
    }

private:
    int fd_;
    uint8_t buffer_[64 * 1024];
};

void serve(benchmark::State& state, bool adc) {
    auto sim = simulator();
    if (adc)
        calibrate(*sim);
    else
        sim->modify([](HardwareModel& hw) { hw.asic.setMode(3); });
    RawReader reader(sim->dataPort());
    const std::size_t chunk = adc ? 100 * packetBytes : 8 * 12 * 612; // about 60 KB
    reader.take(chunk);                                               // the first rendering
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.take(chunk));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chunk));
}

void BM_ServeElectrodeData(benchmark::State& state) {
    serve(state, false);
}
BENCHMARK(BM_ServeElectrodeData)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_ServeAdcCalibrationData(benchmark::State& state) {
    serve(state, true);
}
BENCHMARK(BM_ServeAdcCalibrationData)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The facade on the simulator's data port in ADC data mode; registers in
// memory, since only the stream is measured.
class AdcStreamApi : public Tolmaren_basestation_api {
public:
    explicit AdcStreamApi(uint16_t port) {
        dataLink_ = new TolmarenDataConnectionLink("127.0.0.1", port);
        configLink_ = new VciDummy();
        datamodel_ = new neuroprobe(0, configLink_);
        datamode_ = false;
    }
};

void BM_ReadAdcCalibrationData(benchmark::State& state) {
    auto sim = simulator();
    calibrate(*sim);
    AdcStreamApi api(sim->dataPort());
    AdcPacket packet;
    if (api.tolmaren_readADCData(packet) != 0)
        throw std::runtime_error("the first packet did not decode");
    for (auto _ : state) {
        if (api.tolmaren_readADCData(packet) != 0) {
            state.SkipWithError("a packet did not decode");
            break;
        }
        benchmark::DoNotOptimize(packet.records[12].adcData[31]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packetBytes));
}
BENCHMARK(BM_ReadAdcCalibrationData)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_SlopeSweepStep(benchmark::State& state) {
    auto sim = simulator();
    calibrate(*sim);
    RawReader reader(sim->dataPort());
    reader.skipToStreamStart();
    double freshSeconds = 0;
    unsigned int step = 0;
    for (auto _ : state) {
        const uint16_t code = levelCodes[++step % 2];
        sim->modify([&](HardwareModel& hw) {
            hw.headstage.write(0x41, static_cast<uint8_t>(code >> 8));
            hw.headstage.write(0x42, static_cast<uint8_t>(code));
            hw.asic.setMode(0);
            hw.registers.write(BasestationRegisters::datapathReset, 1);
        });
        state.PauseTiming();
        reader.drain(50);
        state.ResumeTiming();
        sim->modify([](HardwareModel& hw) {
            hw.registers.write(BasestationRegisters::datapathReset, 0);
            hw.asic.setMode(1);
        });
        const auto reset = Clock::now();
        reader.skipToStreamStart();
        freshSeconds += std::chrono::duration<double>(Clock::now() - reset).count();
        for (unsigned int p = 0; p < 3001; ++p)
            reader.take(packetBytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 3001 * packetBytes));
    state.counters["first_fresh_us"] = 1e6 * freshSeconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SlopeSweepStep)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
