#include "view/ViewPipeline.h"

#include <algorithm>
#include <pthread.h>

#include "recording/ProbeLayout.h"
#include "view/FrameWriter.h"

namespace tolmaren_view {

using tolmaren_recording::RecordingInfo;

namespace {

constexpr unsigned int batchPackets = 256;
constexpr auto lfpColumnsPerSecond =
    RecordingInfo::lfpSampleRateHz / LfpDecimator::packetsPerColumn;
constexpr auto pendingColumns =
    static_cast<std::size_t>(ViewPipeline::pendingSeconds * lfpColumnsPerSecond);

std::vector<float> microvoltsPerCode(const RecordingInfo& settings, bool ap) {
    std::vector<float> scale(CodePacket::channels);
    for (unsigned int c = 0; c < CodePacket::channels; ++c)
        scale[c] = static_cast<float>(ap ? settings.apMicrovoltsPerCode(c)
                                         : settings.lfpMicrovoltsPerCode(c));
    return scale;
}

// The last sample of the newest bin of `runs`.
int64_t lastSample(const std::deque<TraceDecimator::Run>& runs, unsigned int binSamples) {
    const TraceDecimator::Run& run = runs.back();
    const int64_t samples = binSamples;
    return (run.firstSample / samples + run.bins) * samples - 1;
}

} // namespace

ViewPipeline::ViewPipeline(PacketRing& ring, const RecordingInfo& settings)
    : ring_(ring), apScale_(microvoltsPerCode(settings, true)),
      lfpScale_(microvoltsPerCode(settings, false)),
      channelsInUse_(tolmaren_recording::ProbeLayout::channelsInUse(settings.probeType)),
      activity_(apScale_), lfp_(lfpScale_) {}

ViewPipeline::~ViewPipeline() {
    stop();
}

void ViewPipeline::start() {
    thread_ = std::thread([this] { run(); });
}

void ViewPipeline::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

unsigned int ViewPipeline::join(std::weak_ptr<FrameSink> sink) {
    const unsigned int viewer = nextViewer_++;
    Event event{Event::Join, viewer, std::move(sink), {}, 0, Clock::now()};
    post(std::move(event));
    return viewer;
}

void ViewPipeline::configure(unsigned int viewer, TraceSettings settings) {
    post(Event{Event::Configure, viewer, {}, std::move(settings), 0, Clock::now()});
}

void ViewPipeline::drawn(unsigned int viewer, uint32_t frame) {
    post(Event{Event::Drawn, viewer, {}, {}, frame, Clock::now()});
}

void ViewPipeline::leave(unsigned int viewer) {
    post(Event{Event::Leave, viewer, {}, {}, 0, Clock::now()});
}

void ViewPipeline::post(Event event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
}

void ViewPipeline::run() {
    pthread_setname_np(pthread_self(), "tolmaren-view");
    std::vector<Event> events;
    while (!stopping_.load(std::memory_order_relaxed)) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events.swap(events_);
        }
        for (Event& event : events)
            apply(event);
        events.clear();

        unsigned int packets = 0;
        for (const CodePacket* packet; packets < batchPackets && (packet = ring_.front());
             ++packets) {
            process(*packet);
            ring_.pop();
        }
        const auto now = Clock::now();
        uint64_t dropped = binsDroppedBefore_;
        for (auto it = viewers_.begin(); it != viewers_.end();) {
            if (it->second.sink.expired()) {
                binsDroppedBefore_ += it->second.traces ? it->second.traces->binsDropped() : 0;
                it = viewers_.erase(it);
                continue;
            }
            send(it->second, now);
            dropped += it->second.traces ? it->second.traces->binsDropped() : 0;
            ++it;
        }
        binsDropped_.store(dropped, std::memory_order_relaxed);
        if (packets < batchPackets) std::this_thread::sleep_for(idleWait);
    }
}

void ViewPipeline::apply(Event& event) {
    if (event.kind == Event::Join) {
        Viewer& viewer = viewers_[event.viewer];
        viewer.sink = std::move(event.sink);
        viewer.activityWaiting = true;
        return;
    }
    const auto found = viewers_.find(event.viewer);
    if (found == viewers_.end()) return;
    Viewer& viewer = found->second;
    switch (event.kind) {
    case Event::Configure: {
        if (viewer.traces) binsDroppedBefore_ += viewer.traces->binsDropped();
        const auto pendingBins = static_cast<unsigned int>(
            pendingSeconds * RecordingInfo::apSampleRateHz / event.settings.binSamples);
        viewer.traces.emplace(std::move(event.settings), apScale_, pendingBins);
        break;
    }
    case Event::Drawn:
        // A page cannot say it drew a frame it was not sent.
        if (event.frame <= viewer.drawn || event.frame > viewer.sent) break;
        viewer.drawn = event.frame;
        while (!viewer.inFlight.empty() && viewer.inFlight.front().sequence <= event.frame) {
            const Viewer::Sent& sent = viewer.inFlight.front();
            if (sent.sequence == event.frame && drawnListener_)
                drawnListener_(sent.newest, sent.at, event.at);
            viewer.inFlight.pop_front();
        }
        break;
    case Event::Leave:
        if (viewer.traces) binsDroppedBefore_ += viewer.traces->binsDropped();
        viewers_.erase(found);
        break;
    case Event::Join:
        break;
    }
}

void ViewPipeline::process(const CodePacket& packet) {
    newest_ = packet.position + CodePacket::blocks - 1;
    const bool newMap = activity_.add(packet);
    const bool newColumn = lfp_.add(packet);
    const bool average = std::any_of(viewers_.begin(), viewers_.end(), [](const auto& entry) {
        return entry.second.traces && entry.second.traces->settings().commonAverage;
    });
    if (average) {
        for (unsigned int b = 0; b < CodePacket::blocks; ++b) {
            float sum = 0;
            for (unsigned int c = 0; c < channelsInUse_; ++c)
                sum += (static_cast<float>(packet.ap[b][c]) -
                        static_cast<float>(RecordingInfo::adcZeroCode)) *
                       apScale_[c];
            commonAverage_[b] = sum / static_cast<float>(channelsInUse_);
        }
    }
    for (auto& entry : viewers_) {
        Viewer& viewer = entry.second;
        viewer.activityWaiting = viewer.activityWaiting || newMap;
        if (newColumn) {
            if (viewer.lfpPositions.size() == pendingColumns) {
                viewer.lfpPositions.erase(viewer.lfpPositions.begin());
                viewer.lfpValues.erase(viewer.lfpValues.begin(),
                                       viewer.lfpValues.begin() + CodePacket::channels);
                columnsDropped_.fetch_add(1, std::memory_order_relaxed);
            }
            viewer.lfpPositions.push_back(lfp_.columnPosition());
            viewer.lfpValues.insert(viewer.lfpValues.end(), lfp_.column().begin(),
                                    lfp_.column().end());
        }
        if (viewer.traces) viewer.traces->add(packet, commonAverage_);
    }
}

bool ViewPipeline::hasWaiting(const Viewer& viewer) const {
    return viewer.activityWaiting || !viewer.lfpPositions.empty() ||
           (viewer.traces && viewer.traces->hasBins());
}

void ViewPipeline::send(Viewer& viewer, Clock::time_point now) {
    if (viewer.sent - viewer.drawn >= framesInFlight || now - viewer.lastFrame < frameInterval ||
        !hasWaiting(viewer))
        return;
    const double elapsed = std::chrono::duration<double>(now - viewer.budgetTime).count();
    viewer.budget = std::min(burstBytes, viewer.budget + elapsed * bytesPerSecond);
    viewer.budgetTime = now;
    if (viewer.budget <= 0) return;
    const std::shared_ptr<FrameSink> sink = viewer.sink.lock();
    if (!sink) return;

    std::deque<TraceDecimator::Run> runs;
    if (viewer.traces) runs = viewer.traces->take();
    // The frame is as new as its newest AP bin: the page draws nothing newer.
    const int64_t newest =
        runs.empty() ? newest_ : lastSample(runs, viewer.traces->settings().binSamples);
    FrameWriter frame(++viewer.sent, newest);
    for (const TraceDecimator::Run& run : runs)
        frame.addTraces(viewer.traces->settings(), run);
    if (viewer.activityWaiting)
        frame.addActivity(activity_.rmsMicrovolts(), activity_.crossingsPerSecond());
    if (!viewer.lfpPositions.empty()) frame.addLfp(viewer.lfpPositions, viewer.lfpValues);
    viewer.activityWaiting = false;
    viewer.lfpPositions.clear();
    viewer.lfpValues.clear();
    viewer.inFlight.push_back({viewer.sent, newest, now});
    viewer.budget -= static_cast<double>(frame.size());
    viewer.lastFrame = now;
    bytesSent_.fetch_add(frame.size(), std::memory_order_relaxed);
    sink->sendFrame(std::make_shared<const std::string>(frame.take()));
}

} // namespace tolmaren_view
