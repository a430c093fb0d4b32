#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "recording/RecordingInfo.h"
#include "view/ActivityMap.h"
#include "view/FrameSink.h"
#include "view/LfpDecimator.h"
#include "view/PacketRing.h"
#include "view/TraceDecimator.h"

namespace tolmaren_view {

// The view thread: takes the packets the acquisition thread hands over,
// reduces them to what pages draw (the activity map and the LFP columns for
// all pages, the AP traces for each page as it chose), and sends each page a
// frame when it has drawn the ones before. A page gets at most
// `framesInFlight` frames it has not drawn yet, at most `bytesPerSecond` on
// average, and at most one frame per `frameInterval`; what waits longer than
// its bound is dropped. So a slow page sees gaps, and nothing waits for it.
class ViewPipeline {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr unsigned int framesInFlight = 2;
    static constexpr double bytesPerSecond = 1.5e6;
    static constexpr double burstBytes = 0.25e6;
    static constexpr std::chrono::milliseconds frameInterval{30};
    // Each page's waiting AP bins and LFP columns, in seconds of the stream.
    static constexpr double pendingSeconds = 0.5;
    // The view thread looks for packets this often when it has none.
    static constexpr std::chrono::milliseconds idleWait{5};

    // The page drew the frame whose newest stream position is `position`,
    // sent at `sent`; `drawn` is when it said so. For measurements.
    using DrawnListener =
        std::function<void(int64_t position, Clock::time_point sent, Clock::time_point drawn)>;

    ViewPipeline(PacketRing& ring, const tolmaren_recording::RecordingInfo& settings);
    ~ViewPipeline();
    ViewPipeline(const ViewPipeline&) = delete;
    ViewPipeline& operator=(const ViewPipeline&) = delete;

    void onDrawn(DrawnListener listener) { drawnListener_ = std::move(listener); }
    void start();
    void stop();

    // From any thread: a page joins (it gets an id), chooses its traces,
    // reports what it drew, leaves.
    unsigned int join(std::weak_ptr<FrameSink> sink);
    void configure(unsigned int viewer, TraceSettings settings);
    void drawn(unsigned int viewer, uint32_t frame);
    void leave(unsigned int viewer);

    // AP bins and LFP columns dropped for pages that did not keep up.
    uint64_t binsDropped() const { return binsDropped_.load(std::memory_order_relaxed); }
    uint64_t columnsDropped() const { return columnsDropped_.load(std::memory_order_relaxed); }
    // Bytes of all the frames sent to pages.
    uint64_t bytesSent() const { return bytesSent_.load(std::memory_order_relaxed); }

private:
    struct Viewer {
        std::weak_ptr<FrameSink> sink;
        std::optional<TraceDecimator> traces;
        std::vector<int64_t> lfpPositions;
        std::vector<float> lfpValues;
        bool activityWaiting = false;
        uint32_t sent = 0;  // sequence of the latest frame sent
        uint32_t drawn = 0; // the latest the page drew
        struct Sent {
            uint32_t sequence;
            int64_t newest; // stream position
            Clock::time_point at;
        };
        std::deque<Sent> inFlight;
        double budget = burstBytes;
        Clock::time_point budgetTime = Clock::now();
        Clock::time_point lastFrame;
    };
    struct Event {
        enum Kind { Join, Configure, Drawn, Leave } kind;
        unsigned int viewer;
        std::weak_ptr<FrameSink> sink;
        TraceSettings settings;
        uint32_t frame;
        Clock::time_point at;
    };

    void run();
    void post(Event event);
    void apply(Event& event);
    void process(const CodePacket& packet);
    void send(Viewer& viewer, Clock::time_point now);
    bool hasWaiting(const Viewer& viewer) const;

    PacketRing& ring_;
    std::vector<float> apScale_, lfpScale_;
    unsigned int channelsInUse_;
    DrawnListener drawnListener_;

    // Owned by the view thread.
    ActivityMap activity_;
    LfpDecimator lfp_;
    std::map<unsigned int, Viewer> viewers_;
    float commonAverage_[CodePacket::blocks] = {};
    int64_t newest_ = -1;

    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<unsigned int> nextViewer_{1};
    std::atomic<uint64_t> binsDropped_{0};
    std::atomic<uint64_t> columnsDropped_{0};
    std::atomic<uint64_t> bytesSent_{0};
    uint64_t binsDroppedBefore_ = 0; // by the decimators of pages that left

    std::mutex mutex_; // guards the events
    std::vector<Event> events_;
};

} // namespace tolmaren_view
