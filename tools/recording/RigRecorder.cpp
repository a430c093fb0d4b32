#include "recording/RigRecorder.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>

#include "recording/RigManifest.h"
#include "recording/Sidecar.h"
#include "recording/StatusWords.h"
#include "recording/TextFile.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

using End = RecordingInfo::End;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

} // namespace

RecordingInfo::End RigRecorder::Outcome::ended() const {
    return summary ? summary->ended : End::Failed;
}

uint64_t RigRecorder::Outcome::packets() const {
    return summary ? summary->counts.packets + summary->counts.packetsAbandoned : 0;
}

RigRecorder::RigRecorder(const std::string& directory, std::vector<Probe> probes,
                         const Options& options)
    : probes_(std::move(probes)), options_(options), manifestPath_(RigManifest::pathIn(directory)) {
    if (probes_.empty()) throw ToolError("a rig recording needs at least one probe");
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw ToolError("cannot create the directory " + directory + ": " + error.message());
    for (std::size_t k = 0; k < probes_.size(); ++k) {
        const RecordingInfo& settings = probes_[k].settings;
        Outcome outcome;
        outcome.address = settings.basestationAddress;
        outcome.serialNumber = settings.serialNumber;
        outcome.path = (std::filesystem::path(directory) /
                        fileName(settings.serialNumber, settings.basestationAddress))
                           .string();
        outcome.leader = options_.sync && k == 0;
        outcomes_.push_back(std::move(outcome));
    }
    checkFiles();
    armSync();
    TextFile::write(manifestPath_, RigManifest::toJson(outcomes_, options_.sync, false));
    running_ = probes_.size();
    for (std::size_t k = 0; k < probes_.size(); ++k)
        threads_.emplace_back([this, k] { record(k); });
}

RigRecorder::~RigRecorder() {
    if (threads_.empty()) return;
    stop(End::Failed, "the program stopped recording without finishing the recording");
    for (std::thread& thread : threads_)
        thread.join();
}

void RigRecorder::checkFiles() const {
    std::set<std::string> paths;
    for (const Outcome& outcome : outcomes_)
        if (!paths.insert(outcome.path).second)
            throw ToolError("two probes would record to " + outcome.path +
                            ": give each basestation once");
    if (options_.recorder.replace) return;
    paths.insert(manifestPath_);
    for (const Outcome& outcome : outcomes_)
        paths.insert(Sidecar::pathFor(outcome.path));
    for (const std::string& path : paths)
        if (exists(path))
            throw ToolError(path + " exists: pass --force (Python: force=True) to replace it");
}

void RigRecorder::armSync() {
    // A follower holds its stream from its recording's datapath reset until
    // the leader's pulse; without sync none may wait (a rig recorded with it
    // before leaves the input armed).
    for (std::size_t k = 0; k < probes_.size(); ++k)
        StatusWords::check("tolmaren_setSyncExtStart",
                           probes_[k].api->tolmaren_setSyncExtStart(options_.sync && k > 0));
}

void RigRecorder::record(std::size_t k) {
    Outcome& outcome = outcomes_[k];
    std::optional<Recorder> recorder;
    startOne(k, recorder);
    if (recorder) {
        const double cpuStart = threadCpuSeconds();
        uint64_t recorded = 0;
        try {
            while (!stopRequested_ && !recorder->ended() && recorded < options_.packets) {
                const CodePacket* packet = recorder->readPacket();
                if (packet != nullptr && !outcome.firstPosition)
                    outcome.firstPosition = packet->position;
                const StreamCounts counts = recorder->counts();
                recorded = counts.packets + counts.packetsAbandoned;
            }
        } catch (const std::exception& e) {
            stopOne(k, *recorder, End::Failed, e.what());
        }
        outcome.cpuSeconds = threadCpuSeconds() - cpuStart;
        End reason = End::Completed;
        std::string detail;
        if (stopRequested_) {
            std::lock_guard<std::mutex> lock(mutex_);
            reason = stopReason_;
            detail = stopDetail_;
        }
        if (!outcome.summary) stopOne(k, *recorder, reason, detail);
    }
    --running_;
}

void RigRecorder::stopOne(std::size_t k, Recorder& recorder, End reason,
                          const std::string& detail) {
    try {
        outcomes_[k].summary = recorder.finish(reason, detail);
    } catch (const ToolError& e) {
        outcomes_[k].failure = e.what();
    }
}

void RigRecorder::startOne(std::size_t k, std::optional<Recorder>& recorder) {
    const bool follower = options_.sync && k > 0;
    if (options_.sync && k == 0) awaitFollowers();
    if (stopRequested_) {
        outcomes_[k].failure = "stopped before the recording started";
    } else {
        Recorder::Options options = options_.recorder;
        options.softwareStart = options_.sync && k == 0;
        try {
            recorder.emplace(*probes_[k].api, outcomes_[k].path, probes_[k].settings, options);
        } catch (const std::exception& e) {
            outcomes_[k].failure = e.what();
        }
    }
    if (follower) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++followersArmed_;
        armed_.notify_all();
    }
    if (options_.sync && k == 0 && !recorder)
        stop(End::Failed,
             "the leading basestation's recording did not start (" + outcomes_[k].failure + ")");
}

void RigRecorder::awaitFollowers() {
    std::unique_lock<std::mutex> lock(mutex_);
    armed_.wait(lock, [this] { return followersArmed_ + 1 == probes_.size(); });
}

void RigRecorder::stop(End reason, const std::string& detail) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopRequested_) return;
    stopReason_ = reason;
    stopDetail_ = detail;
    stopRequested_ = true;
}

std::vector<RigRecorder::Outcome> RigRecorder::finish() {
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
    // The followers stream on their own again: a later reset must not hold them.
    if (options_.sync) {
        for (std::size_t k = 1; k < probes_.size(); ++k) {
            try {
                probes_[k].api->tolmaren_setSyncExtStart(false);
            } catch (const std::exception&) {
                // A lost link: its next open starts afresh anyway.
            }
        }
    }
    for (Outcome& outcome : outcomes_)
        if (outcome.summary) outcome.anchorTime = outcome.summary->first.startTime;
    // A follower's block counter 0 is the leader's: it began with the leader's stream.
    if (options_.sync && !outcomes_.front().anchorTime.empty())
        for (Outcome& outcome : outcomes_)
            if (outcome.summary) outcome.anchorTime = outcomes_.front().anchorTime;
    try {
        TextFile::replace(manifestPath_, RigManifest::toJson(outcomes_, options_.sync, true));
    } catch (const ToolError& e) {
        throw ToolError(std::string(e.what()) + "; the recordings stay beside it");
    }
    return outcomes_;
}

std::string RigRecorder::fileName(uint32_t serialNumber, const std::string& address) {
    return "probe-" + std::to_string(serialNumber) + "-" + address + ".bin";
}

RecordingInfo::End RigRecorder::worst(const std::vector<Outcome>& outcomes) {
    End worst = End::Completed;
    for (const Outcome& outcome : outcomes) {
        const End end = outcome.ended();
        if (end != End::Completed && end != End::Stopped) return end;
        if (end == End::Stopped) worst = End::Stopped;
    }
    return worst;
}

} // namespace tolmaren_recording
