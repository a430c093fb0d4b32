#include "view/Acquisition.h"

#include <cstdio>
#include <filesystem>
#include <pthread.h>

#include "recording/Sidecar.h"
#include "recording/StatusError.h"
#include "recording/StreamCountsText.h"
#include "recording/ToolError.h"

namespace tolmaren_view {

using tolmaren_recording::RecordingInfo;
using tolmaren_recording::ToolError;

namespace {

constexpr auto temperatureInterval = std::chrono::seconds(1);
constexpr auto rateSpan = std::chrono::seconds(1);

std::string summary(const std::string& path, const tolmaren_recording::Recorder::Summary& info) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f",
                  static_cast<double>(info.counts.packets + info.counts.packetsAbandoned) /
                      RecordingInfo::lfpSampleRateHz);
    std::string ended;
    if (info.ended != RecordingInfo::End::Completed)
        ended = std::string(" (ended: ") + RecordingInfo::endName(info.ended) +
                (info.endDetail.empty() ? "" : ", " + info.endDetail) + ")";
    return "recorded " + path + ended + ": " + seconds + " s of data, " +
           std::to_string(info.bytes) + " bytes; " +
           tolmaren_recording::StreamCountsText::line(info.counts) + "; sidecar " +
           tolmaren_recording::Sidecar::pathFor(path);
}

} // namespace

Acquisition::Acquisition(Tolmaren_basestation_api& api, RecordingInfo settings, PacketRing& ring,
                         std::function<void(const std::string&)> say)
    : api_(api), settings_(std::move(settings)), ring_(ring), say_(std::move(say)) {}

Acquisition::~Acquisition() {
    stop();
}

void Acquisition::start(const std::optional<std::string>& recordTo) {
    if (recordTo) {
        recording_ = std::make_unique<ViewRecording>(api_, *recordTo, settings_);
        setMessage("recording to " + *recordTo);
    } else {
        reader_.emplace(api_);
    }
    countsAtStart_ = api_.tolmaren_getStreamDecoder().counts();
    publishHealth(Clock::now());
    thread_ = std::thread([this] { run(); });
}

void Acquisition::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void Acquisition::requestRecording(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    requestedStart_ = path;
    requestPending_ = true;
}

void Acquisition::requestStopRecording() {
    std::lock_guard<std::mutex> lock(mutex_);
    requestedStop_ = true;
    requestPending_ = true;
}

HealthReport Acquisition::health() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_;
}

std::optional<std::string> Acquisition::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void Acquisition::run() {
    pthread_setname_np(pthread_self(), "tolmaren-acq");
    auto nextHealth = Clock::now() + healthInterval;
    try {
        while (!stopping_.load(std::memory_order_relaxed)) {
            const CodePacket* packet = read();
            if (packet != nullptr) ring_.push(*packet);
            if (requestPending_.load(std::memory_order_acquire)) {
                std::optional<std::string> start;
                bool stop = false;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    std::swap(stop, requestedStop_);
                    // Between two packets nothing of the stream is in
                    // progress, so a new file starts with a whole packet.
                    if (packet != nullptr && packet->whole()) std::swap(start, requestedStart_);
                    requestPending_ = requestedStart_.has_value();
                }
                if (stop) stopRecording(RecordingInfo::End::Completed, "stopped from the page");
                if (start) startRecording(*start);
                if (stop || start) nextHealth = Clock::now();
            }
            const auto now = Clock::now();
            if (now >= nextHealth) {
                publishHealth(now);
                nextHealth = now + healthInterval;
            }
        }
        if (recording_) stopRecording(RecordingInfo::End::Completed, "the view ended");
    } catch (const std::exception& e) {
        // The data link failed; what was recorded up to here is kept.
        std::string message = std::string("the data stream failed: ") + e.what();
        if (recording_) {
            try {
                stopRecording(RecordingInfo::End::Failed, e.what());
            } catch (const std::exception& f) {
                message += "; " + std::string(f.what());
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = message;
    }
    publishHealth(Clock::now());
}

const CodePacket* Acquisition::read() {
    const CodePacket* packet = nullptr;
    try {
        if (recording_) {
            packet = recording_->readPacket();
            if (packet != nullptr) return packet;
            // The recorder keeps what it recorded whatever ended it; the view
            // goes on reading the stream.
            if (recording_->ended()) {
                stopRecording(RecordingInfo::End::Completed);
                return nullptr;
            }
            ++stalls_;
            streamProblem_ = "no data for 1 s";
            return nullptr;
        }
        packet = reader_->next();
    } catch (const tolmaren_recording::StatusError&) {
        // A pause of the stream: the reader goes on where it stopped.
        ++stalls_;
        streamProblem_ = "no data for 1 s";
        return nullptr;
    } catch (const ToolError& e) {
        streamProblem_ = e.what();
        return nullptr;
    }
    if (packet == nullptr) throw ToolError("the stream ended");
    return packet;
}

void Acquisition::startRecording(const std::string& path) {
    if (recording_) {
        setMessage("already recording to " + recording_->path());
        return;
    }
    std::error_code error;
    if (std::filesystem::exists(path, error) ||
        std::filesystem::exists(tolmaren_recording::Sidecar::pathFor(path), error)) {
        setMessage(path + " exists already: choose another name");
        return;
    }
    reader_.reset();
    try {
        recording_ = std::make_unique<ViewRecording>(api_, path, settings_);
        setMessage("recording to " + path);
    } catch (const ToolError& e) {
        reader_.emplace(api_);
        setMessage(e.what());
    }
}

void Acquisition::stopRecording(RecordingInfo::End reason, const std::string& detail) {
    if (!recording_) return;
    const std::unique_ptr<ViewRecording> recording = std::move(recording_);
    lastFile_ = recording->path();
    lastPackets_ = recording->packets();
    std::string message;
    try {
        message = summary(recording->path(), recording->finish(reason, detail));
    } catch (const ToolError& e) {
        message = e.what();
    }
    reader_.emplace(api_);
    setMessage(message);
}

void Acquisition::setMessage(const std::string& message) {
    message_ = message;
    if (say_) say_(message);
}

void Acquisition::publishHealth(Clock::time_point now) {
    HealthReport report;
    report.counts = api_.tolmaren_getStreamDecoder().counts();
    report.counts -= countsAtStart_;
    const uint64_t packets = report.counts.packets + report.counts.packetsAbandoned;
    packetHistory_.emplace_back(now, packets);
    while (packetHistory_.size() > 2 && now - packetHistory_[1].first >= rateSpan)
        packetHistory_.pop_front();
    const double span = std::chrono::duration<double>(now - packetHistory_.front().first).count();
    if (span > 0)
        report.packetsPerSecond =
            static_cast<double>(packets - packetHistory_.front().second) / span;
    report.fifoFillingPercent = api_.tolmaren_fifoFilling();
    if (now >= nextTemperature_) {
        float celsius = 0;
        temperature_.reset();
        if (api_.tolmaren_readTemperature(celsius) == 0) temperature_ = celsius;
        nextTemperature_ = now + temperatureInterval;
    }
    report.temperatureCelsius = temperature_;
    report.stalls = stalls_;
    report.streamProblem = streamProblem_;
    report.recording = recording_ != nullptr;
    if (recording_) {
        lastFile_ = recording_->path();
        lastPackets_ = recording_->packets();
    }
    report.recordingFile = lastFile_;
    report.recordingPackets = lastPackets_;
    report.recordingMessage = message_;
    report.viewPacketsSkipped = ring_.dropped();

    std::lock_guard<std::mutex> lock(mutex_);
    published_ = std::move(report);
}

} // namespace tolmaren_view
