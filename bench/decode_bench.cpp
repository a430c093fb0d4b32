// Decoding speed of the neural data read-out, against the basestation's
// real-time rate and against a plain copy of the same bytes.
//
// The stream rate: 12 electrode blocks of 612 bytes per 12 AP samples at
// 30 kHz, i.e. 2500 packets/s = 18.36 MB/s.

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"
#include "common/StreamBuilder.h"
#include "data/StreamDecoder.h"

namespace {

constexpr double realTimeBytesPerSecond = 18.36e6;
constexpr unsigned int streamPackets = 200; // about 1.5 MB, served round and round

// Serves a stream held in memory, over and over, without any system call:
// rawread returns pointers straight into it, as the data link does into its
// buffer. Its stream length is a multiple of every request the bench makes.
class MemoryDataLink : public TolmarenConnectionLinkIntf {
public:
    explicit MemoryDataLink(std::vector<unsigned char> stream) : stream_(std::move(stream)) {}

    bool write(ConnectionLinkPacket&) override { return false; }
    ConnectionLinkPacket read(unsigned int size) override {
        unsigned char* bytes = rawread(size);
        return bytes == nullptr ? ConnectionLinkPacket()
                                : ConnectionLinkPacket(reinterpret_cast<char*>(bytes), size);
    }
    unsigned char* rawread(unsigned int n) override {
        if (n > stream_.size()) return nullptr;
        if (position_ + n > stream_.size()) position_ = 0;
        unsigned char* bytes = stream_.data() + position_;
        position_ += n;
        if (recording_.is_open()) recording_.write(reinterpret_cast<const char*>(bytes), n);
        return bytes;
    }
    void startRecording(const std::string& file) override {
        stopRecording();
        recording_.open(file, std::ios::binary | std::ios::trunc);
    }
    void stopRecording() override {
        if (recording_.is_open()) recording_.close();
    }
    void discard() override {} // it holds nothing that rawread has not handed out

private:
    std::vector<unsigned char> stream_;
    size_t position_ = 0;
    std::ofstream recording_;
};

void reportRates(benchmark::State& state, size_t bytesPerPacket) {
    const double bytes = static_cast<double>(state.iterations()) * bytesPerPacket;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(state.iterations());
    state.counters["x_realtime"] =
        benchmark::Counter(bytes / realTimeBytesPerSecond, benchmark::Counter::kIsRate);
}

void BM_DecodeElectrodePackets(benchmark::State& state) {
    StreamBuilder stream;
    stream.electrodePackets(streamPackets);
    DataTestApi api;
    api.attach(new MemoryDataLink(stream.data()));
    api.setElectrodeMode(true);
    ElectrodePacket packet;
    for (auto _ : state) {
        if (api.tolmaren_readElectrodeData(packet) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(packet);
    }
    reportRates(state, StreamBuilder::electrodePacketSize);
}
BENCHMARK(BM_DecodeElectrodePackets)->Threads(1)->Threads(2)->UseRealTime();

// The stream decoder alone, into codes with the block counter followed, as
// the recorder, the tools and the Python module read.
void BM_DecodeToCodes(benchmark::State& state) {
    struct Loop : BlockSource {
        std::vector<unsigned char> bytes;
        std::size_t at = 0;
        const unsigned char* take(unsigned int n) override {
            if (at + n > bytes.size()) at = 0;
            at += n;
            return bytes.data() + at - n;
        }
        bool ended() const override { return false; }
    } source;
    source.bytes = StreamBuilder().electrodePackets(streamPackets).countBlocks().data();
    StreamDecoder decoder(&source);
    for (auto _ : state)
        benchmark::DoNotOptimize(decoder.next()->ap[0][0]);
    reportRates(state, StreamBuilder::electrodePacketSize);
}
BENCHMARK(BM_DecodeToCodes)->Threads(1)->Threads(2)->UseRealTime();

// The same bytes, packet by packet, copied instead of decoded.
void BM_CopyElectrodePackets(benchmark::State& state) {
    StreamBuilder stream;
    stream.electrodePackets(streamPackets);
    std::vector<unsigned char> target(StreamBuilder::electrodePacketSize);
    size_t position = 0;
    for (auto _ : state) {
        if (position == stream.data().size()) position = 0;
        std::memcpy(target.data(), stream.data().data() + position, target.size());
        position += target.size();
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    reportRates(state, StreamBuilder::electrodePacketSize);
}
BENCHMARK(BM_CopyElectrodePackets)->Threads(1)->Threads(2)->UseRealTime();

void BM_DecodeAdcPackets(benchmark::State& state) {
    StreamBuilder stream;
    stream.adcPackets(streamPackets * 12);
    DataTestApi api;
    api.attach(new MemoryDataLink(stream.data()));
    AdcPacket packet;
    for (auto _ : state) {
        if (api.tolmaren_readADCData(packet) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(packet);
    }
    reportRates(state, StreamBuilder::adcPacketSize);
}
BENCHMARK(BM_DecodeAdcPackets);

// End to end from a recording: the playback link's file reads included.
void BM_PlaybackFileElectrodePackets(benchmark::State& state) {
    ScopedWorkDir dir;
    StreamBuilder stream;
    stream.electrodePackets(1000);
    stream.writeFile("playback.bin");
    DataTestApi api;
    ElectrodePacket packet;
    for (auto _ : state) {
        unsigned int status = api.tolmaren_readElectrodeData(packet);
        if (status != 0) {
            state.PauseTiming();
            api.tolmaren_close();
            api.tolmaren_open("playback.bin");
            api.setElectrodeMode(true);
            state.ResumeTiming();
            status = api.tolmaren_readElectrodeData(packet);
        }
        if (status != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(packet);
    }
    reportRates(state, StreamBuilder::electrodePacketSize);
}
BENCHMARK(BM_PlaybackFileElectrodePackets);

} // namespace
