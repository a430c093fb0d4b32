// The cost of `tolmaren view` to a recording at real time, and how late the
// page draws. The simulator (in this process, real-time pacing) streams on
// the basestation's ports 1234 and 1235; headless Chromium (the package
// chromium) shows the page with the heaviest choice: 32 channels, a 0.5-s
// window, high-pass and common average.
//   ./view_bench
// First 10 s of recording alone, as `record` does, then 10 s of recording
// with the view. Reported:
// - cpu_record_percent, cpu_view_percent: processor time of the tool's own
//   threads (named tolmaren-*) per wall time, in percent of one core;
//   added_percent is the difference, what the view costs the recording;
// - latency_*_ms: from the moment the simulator counts a block as sent (it
//   stamps the block's counters just before) to the page's report that it
//   drew the frame whose newest AP bin holds that block; the simulator's
//   count is polled every millisecond; page_median_ms is the part from the
//   frame's sending to the page's report;
// - page_MBps: megabytes per second of frames to the page.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "recording/ProbeSnapshot.h"
#include "recording/Recorder.h"
#include "recording/Sidecar.h"
#include "sim/BasestationSimulator.h"
#include "view/Acquisition.h"
#include "view/PacketRing.h"
#include "view/ViewPipeline.h"
#include "view/ViewServer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr auto phase = std::chrono::seconds(10);
constexpr const char* pageQuery = "?channels=0-31&window=0.5&high_pass=1&common_average=1";

// Processor seconds of this process's threads named tolmaren-*.
double toolThreadSeconds() {
    unsigned long ticks = 0;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name.rfind("tolmaren-", 0) != 0) continue;
        std::string stat;
        std::getline(std::ifstream(task.path() / "stat"), stat);
        std::istringstream fields(stat.substr(stat.rfind(')') + 2)); // from field 3, the state
        std::string field;
        for (int i = 3; i <= 15; ++i) {
            fields >> field;
            if (i >= 14) ticks += std::stoul(field); // utime, stime
        }
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// When each block was counted as sent: the simulator's count, every millisecond.
class SentBlocks {
public:
    explicit SentBlocks(const tolmaren_sim::BasestationSimulator& sim)
        : thread_([this, &sim] {
              while (!stop_) {
                  const auto statistics = sim.dataStatistics();
                  const auto now = Clock::now();
                  {
                      std::lock_guard<std::mutex> lock(mutex_);
                      samples_.emplace_back(now, statistics.unitsIntact);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~SentBlocks() {
        stop_ = true;
        thread_.join();
    }
    // The first time block `position` was seen counted, if it was.
    std::optional<Clock::time_point> sentAt(int64_t position) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = std::find_if(samples_.begin(), samples_.end(), [&](const auto& s) {
            return static_cast<int64_t>(s.second) > position;
        });
        if (found == samples_.end()) return std::nullopt;
        return found->first;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<Clock::time_point, uint64_t>> samples_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

// `record` alone: its loop on a thread named as the tool's acquisition thread.
double recordingAlonePercent(Tolmaren_basestation_api& api, const std::string& path) {
    const auto settings = tolmaren_recording::ProbeSnapshot::take(api);
    double percent = 0;
    std::thread recording([&] {
        pthread_setname_np(pthread_self(), "tolmaren-acq");
        tolmaren_recording::Recorder recorder(api, path, settings, {});
        const auto start = Clock::now();
        const double before = toolThreadSeconds();
        while (Clock::now() - start < phase)
            recorder.readPacket();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        percent = 100 * (toolThreadSeconds() - before) / wall;
        recorder.finish(tolmaren_recording::RecordingInfo::End::Completed);
    });
    recording.join();
    return percent;
}

void BM_ViewAtRealTime(benchmark::State& state) {
    if (access("/usr/bin/chromium", X_OK) != 0) {
        state.SkipWithError("needs /usr/bin/chromium (the package chromium)");
        return;
    }
    const fs::path work = fs::temp_directory_path() / ("view_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    tolmaren_sim::BasestationSimulator sim{tolmaren_sim::SimulatorOptions()};
    sim.start();
    Tolmaren_basestation_api api;
    if (api.tolmaren_open(0) != 0) {
        state.SkipWithError("the probe did not open");
        return;
    }
    for (auto _ : state) {
        const double alone = recordingAlonePercent(api, (work / "alone.bin").string());

        const auto settings = tolmaren_recording::ProbeSnapshot::take(api);
        tolmaren_view::PacketRing ring(512);
        tolmaren_view::ViewPipeline pipeline(ring, settings);
        SentBlocks sent(sim);
        std::mutex mutex;
        struct Drawn {
            int64_t position;
            Clock::time_point sent, drawn;
        };
        std::vector<Drawn> drawn;
        pipeline.onDrawn([&](int64_t position, Clock::time_point sentAt, Clock::time_point at) {
            std::lock_guard<std::mutex> lock(mutex);
            drawn.push_back({position, sentAt, at});
        });
        tolmaren_view::Acquisition acquisition(api, settings, ring, nullptr);
        tolmaren_view::ViewServer server("127.0.0.1", 0, "", acquisition, pipeline,
                                         tolmaren_recording::Sidecar::toJson(settings));
        const uint16_t port = server.start();
        pipeline.start();
        acquisition.start((work / "view.bin").string());

        const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/" + pageQuery;
        const std::string profile = "--user-data-dir=" + (work / "profile").string();
        const char* arguments[] = {"chromium",
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   profile.c_str(),
                                   "--window-size=1400,900",
                                   url.c_str(),
                                   nullptr};
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        pid_t browser = 0;
        posix_spawn(&browser, "/usr/bin/chromium", nullptr, &attributes,
                    const_cast<char* const*>(arguments), environ);
        // Measured once the page draws.
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        for (bool drawing = false; !drawing && Clock::now() < deadline;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::lock_guard<std::mutex> lock(mutex);
            drawing = drawn.size() > 10;
        }
        const auto start = Clock::now();
        const double before = toolThreadSeconds();
        const uint64_t bytesBefore = pipeline.bytesSent();
        {
            std::lock_guard<std::mutex> lock(mutex);
            drawn.clear();
        }
        std::this_thread::sleep_for(phase);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double withView = 100 * (toolThreadSeconds() - before) / wall;
        const double megabytes = static_cast<double>(pipeline.bytesSent() - bytesBefore) / 1e6;
        std::vector<Drawn> measured;
        {
            std::lock_guard<std::mutex> lock(mutex);
            measured.swap(drawn);
        }

        kill(-browser, SIGTERM);
        waitpid(browser, nullptr, 0);
        pipeline.stop();
        server.stop();
        acquisition.stop();

        std::vector<double> latencies, pageLatencies;
        const auto milliseconds = [](Clock::duration d) {
            return std::chrono::duration<double, std::milli>(d).count();
        };
        for (const Drawn& frame : measured) {
            pageLatencies.push_back(milliseconds(frame.drawn - frame.sent));
            if (const auto sentAt = sent.sentAt(frame.position))
                latencies.push_back(milliseconds(frame.drawn - *sentAt));
        }
        state.counters["cpu_record_percent"] = alone;
        state.counters["cpu_view_percent"] = withView;
        state.counters["added_percent"] = withView - alone;
        state.counters["latency_median_ms"] = percentile(latencies, 0.5);
        state.counters["latency_p95_ms"] = percentile(latencies, 0.95);
        state.counters["latency_max_ms"] = percentile(latencies, 1.0);
        state.counters["page_median_ms"] = percentile(pageLatencies, 0.5);
        state.counters["frames_drawn"] = static_cast<double>(latencies.size());
        state.counters["page_MBps"] = megabytes / wall;
        state.counters["overflowed"] = static_cast<double>(sim.dataStatistics().unitsOverflowed);
    }
    api.tolmaren_close();
    fs::remove_all(work);
}

} // namespace

BENCHMARK(BM_ViewAtRealTime)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
