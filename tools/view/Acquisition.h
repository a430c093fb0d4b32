#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "api/Tolmaren_basestation_api.h"
#include "recording/LiveReader.h"
#include "recording/RecordingInfo.h"
#include "view/HealthReport.h"
#include "view/PacketRing.h"
#include "view/ViewRecording.h"

namespace tolmaren_view {

// The one thread that uses the facade while the view runs: it reads every
// packet (into a recording while one runs), hands a copy to the view through
// the ring without ever waiting for it, reads the health registers, and
// starts and stops recordings when asked. Other threads only read what it
// publishes and leave requests.
class Acquisition {
public:
    using Clock = std::chrono::steady_clock;
    // How often the health report is renewed.
    static constexpr std::chrono::milliseconds healthInterval{200};

    // `settings` describe the open probe (ProbeSnapshot); `say` gets a line
    // for the user when a recording starts, ends or fails.
    Acquisition(Tolmaren_basestation_api& api, tolmaren_recording::RecordingInfo settings,
                PacketRing& ring, std::function<void(const std::string&)> say);
    ~Acquisition();
    Acquisition(const Acquisition&) = delete;
    Acquisition& operator=(const Acquisition&) = delete;

    // Starts the thread, recording at once to `recordTo` when given (throws
    // ToolError when that file cannot be written). Until stop() the caller
    // no longer uses the facade.
    void start(const std::optional<std::string>& recordTo);
    // Finishes a recording in progress and ends the thread.
    void stop();

    // From any thread. A new recording starts at the next whole packet, so
    // that its file begins with one; it refuses a file that exists.
    void requestRecording(const std::string& path);
    void requestStopRecording();

    HealthReport health() const;
    // Why the thread ended before stop(): the data link failed.
    std::optional<std::string> failure() const;

private:
    void run();
    const CodePacket* read();
    void startRecording(const std::string& path);
    // The view records until it is told to stop, so a stop on request
    // completes the recording.
    void stopRecording(tolmaren_recording::RecordingInfo::End reason,
                       const std::string& detail = "");
    void publishHealth(Clock::time_point now);
    void setMessage(const std::string& message);

    Tolmaren_basestation_api& api_;
    const tolmaren_recording::RecordingInfo settings_;
    PacketRing& ring_;
    std::function<void(const std::string&)> say_;
    StreamCounts countsAtStart_;

    // Owned by the thread (and by start() before it runs).
    std::optional<tolmaren_recording::LiveReader> reader_;
    std::unique_ptr<ViewRecording> recording_;
    std::deque<std::pair<Clock::time_point, uint64_t>> packetHistory_;
    Clock::time_point nextTemperature_;
    std::optional<float> temperature_;
    uint64_t stalls_ = 0;
    std::string streamProblem_;
    std::string message_;  // how the latest start or stop went
    std::string lastFile_; // the recording in progress, else the latest
    uint64_t lastPackets_ = 0;

    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> requestPending_{false};

    mutable std::mutex mutex_; // guards what follows
    std::optional<std::string> requestedStart_;
    bool requestedStop_ = false;
    HealthReport published_;
    std::optional<std::string> failure_;
};

} // namespace tolmaren_view
