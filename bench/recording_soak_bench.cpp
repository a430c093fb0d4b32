// Recording soak: 2 GiB (the argument, in MiB) of the simulator's stream in
// fast pacing, recorded through the facade while every packet is decoded, as
// an application records. The recording must hold exactly what the simulator
// sent: its checksum equal to the simulator's running checksum of the
// connection, no packet failing to decode and no block missing. It writes the
// recording to $TMPDIR (or /tmp) and removes it; the simulator binds the
// basestation's ports 1234 and 1235:
//   ./recording_soak_bench
// Reported: the rate of recording and decoding, and as a multiple of the
// probe's real-time rate, 18.36 MB/s. A failed check also fails the exit status.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"
#include "data/TolmarenDataConnectionLink.h"
#include "sim/BasestationSimulator.h"
#include "sim/StreamChecksum.h"

namespace {

constexpr double realTimeBytesPerSecond = 30000.0 * 612.0;
constexpr uint64_t blockBytes = 612;
constexpr uint64_t packetBytes = 12 * blockBytes;
// The data link refills its 1-MiB buffer whole, so after n packets it may
// hold up to 1 MiB beyond them: the stream goes on that far (in whole blocks)
// and then stops for good, and one undecoded read takes the rest.
constexpr uint64_t tailBlocks =
    (TolmarenDataConnectionLink::bufferSize + blockBytes - 1) / blockBytes;

class SoakApi : public Tolmaren_basestation_api {
public:
    // A new data connection, on which the simulator starts a new stream (and
    // a new checksum).
    void reconnectData() {
        delete dataLink_;
        dataLink_ = nullptr;
        dataLink_ = new TolmarenDataConnectionLink(tolmarenBasestationAddress, 1234);
    }
};

bool soakFailed = false;

tolmaren_sim::StreamChecksum checksumOf(const std::string& path) {
    tolmaren_sim::StreamChecksum checksum;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
        checksum.add(reinterpret_cast<const uint8_t*>(chunk.data()),
                     static_cast<std::size_t>(in.gcount()));
    return checksum;
}

void BM_RecordingSoak(benchmark::State& state) {
    const uint64_t packets = (static_cast<uint64_t>(state.range(0)) << 20) / packetBytes + 1;
    tolmaren_sim::SimulatorOptions options;
    options.probeType = 0;
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    SoakApi api;
    if (api.tolmaren_open(0) != 0) {
        soakFailed = true;
        return state.SkipWithError("the probe did not open");
    }
    tolmaren_sim::DataFaults end;
    end.pauseAtUnit = 12 * packets + tailBlocks;
    end.pauseMs = 3600 * 1000;
    sim.setDataFaults(end);
    api.reconnectData();

    const char* dir = std::getenv("TMPDIR");
    const std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
                             "/tolmaren_soak_" + std::to_string(getpid()) + ".bin";
    uint64_t decodeErrors = 0, missingBlocks = 0;
    for (auto _ : state) {
        api.tolmaren_startRecording(path);
        ElectrodePacket packet;
        for (uint64_t p = 0; p < packets; ++p) {
            if (api.tolmaren_readElectrodeData(packet) != 0) {
                ++decodeErrors;
                continue;
            }
            for (uint64_t b = 0; b < 12; ++b)
                missingBlocks += packet.ctrs[b][0] != ((12 * p + b) & 0xFFFFFF);
        }
        const uint64_t tail = tailBlocks * blockBytes;
        if (api.tolmaren_readUnprocessed(static_cast<unsigned int>(tail)).size() != tail)
            ++decodeErrors;
        api.tolmaren_stopRecording();
    }
    const tolmaren_sim::StreamChecksum recorded = checksumOf(path);
    const tolmaren_sim::StreamChecksum sent = sim.dataStatistics().checksum;
    std::remove(path.c_str());
    api.tolmaren_close();

    const double bytes = static_cast<double>(recorded.bytes());
    state.SetBytesProcessed(static_cast<int64_t>(recorded.bytes()));
    state.counters["x_realtime"] =
        benchmark::Counter(bytes / realTimeBytesPerSecond, benchmark::Counter::kIsRate);
    state.counters["recorded_MiB"] = bytes / (1 << 20);
    state.counters["decode_errors"] = static_cast<double>(decodeErrors);
    state.counters["missing_blocks"] = static_cast<double>(missingBlocks);
    std::fprintf(stderr,
                 "recorded %llu bytes, checksum %016llx; sent %llu bytes, checksum %016llx\n",
                 static_cast<unsigned long long>(recorded.bytes()),
                 static_cast<unsigned long long>(recorded.value()),
                 static_cast<unsigned long long>(sent.bytes()),
                 static_cast<unsigned long long>(sent.value()));
    soakFailed = recorded != sent || decodeErrors + missingBlocks != 0;
    if (recorded != sent) return state.SkipWithError("the recording differs from what was sent");
    if (decodeErrors + missingBlocks != 0) state.SkipWithError("packets failed or went missing");
}
BENCHMARK(BM_RecordingSoak)->Arg(2048)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return soakFailed ? 1 : 0;
}
