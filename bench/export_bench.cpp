// Speed of the tool's recording reader and export against real time: one
// second of recording is 2500 packets (18.36 MB of stream), and the export
// must run at least 100 times faster than that. The export also writes
// 25.3 MB per second of recording, so its figure depends on the page cache.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"
#include "recording/Exporter.h"
#include "recording/RecordingReader.h"

namespace {

constexpr unsigned int recordingPackets = 10000; // 4 s
constexpr double recordingSeconds = recordingPackets / 2500.0;
constexpr const char* recordingFile = "bench.bin";

// A synthetic recording in a directory of its own, made once, its block
// counters counting as the basestation's do: an intact stream, all of whose
// packets the export writes whole.
const ScopedWorkDir& recording() {
    static const ScopedWorkDir dir;
    static const bool made = [] {
        StreamBuilder().electrodePackets(recordingPackets).countBlocks().writeFile(recordingFile);
        return true;
    }();
    (void)made;
    return dir;
}

void reportRealTime(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * recordingPackets *
                            StreamBuilder::electrodePacketSize);
    state.counters["x_real_time"] = benchmark::Counter(
        recordingSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ReadRecording(benchmark::State& state) {
    recording();
    for (auto _ : state) {
        tolmaren_recording::RecordingReader reader(recordingFile);
        while (const CodePacket* packet = reader.next())
            benchmark::DoNotOptimize(packet->ap[0][0]);
    }
    reportRealTime(state);
}
BENCHMARK(BM_ReadRecording)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Export(benchmark::State& state) {
    recording();
    const auto info = tolmaren_recording::RecordingInfo::assumedDefaults();
    for (auto _ : state) {
        // Into a fresh directory, as a user exports: replacing files costs the
        // file system extra work that an export does not normally meet.
        state.PauseTiming();
        std::filesystem::remove_all("export");
        state.ResumeTiming();
        tolmaren_recording::RecordingReader reader(recordingFile);
        tolmaren_recording::Exporter::run(reader, recordingFile, "export", info, true,
                                          tolmaren_recording::ProbeGeometry::alongShank());
    }
    reportRealTime(state);
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
