#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "recording/Recorder.h"
#include "recording/RecordingInfo.h"

namespace tolmaren_recording {

// Records several open probes at once, one Recorder per probe, each on a
// thread of its own (a facade serves one thread at a time): every probe keeps
// its own file, sidecar and stop reason, so that one probe's failure costs
// the others nothing.
//
// With `sync` the first probe leads: the others get `sync_ext_start` set and
// start their recordings first, which holds their streams; then the leader
// starts its recording with the software start, whose start-trigger pulse
// starts them all in step, so that blocks taken at the same instant carry
// the same block counter in every file. Without it each starts on its own.
//
// The files go into one directory, named by fileName(), with the manifest
// `rig.json` (RigManifest) that ties them together: written before the
// recordings start and completed by finish().
//
// Use: construct (with the facades opened and set up, and not touched by
// the caller until finish() returns), wait for done() or call stop(), then
// finish().
class RigRecorder {
public:
    struct Probe {
        Tolmaren_basestation_api* api;
        RecordingInfo settings; // as ProbeSnapshot takes them
    };
    struct Options {
        Recorder::Options recorder;
        uint64_t packets = 0; // each probe records this many, whole or abandoned
        bool sync = false;
    };
    // What became of one probe's recording.
    struct Outcome {
        std::string path;
        std::string address;
        uint32_t serialNumber = 0;
        bool leader = false; // whose software start started the others
        // None when the recording never started (failure says why) or its
        // sidecar could not be completed (failure says so; the data stays).
        std::optional<Recorder::Summary> summary;
        std::string failure;
        // The wall-clock time (ISO 8601, UTC) at which the stream that
        // block counter 0 of this file belongs to began: for a follower of a
        // synchronised start, the leader's start.
        std::string anchorTime;
        std::optional<uint64_t> firstPosition; // of the first packet recorded
        // Processor time of the recording thread while it recorded.
        double cpuSeconds = 0;

        // The end as the sidecar says it; Failed when it never started.
        RecordingInfo::End ended() const;
        uint64_t packets() const;
    };

    // Starts the recordings into `directory` (created when missing). Throws
    // ToolError, recording nothing, when two probes would share a file, a
    // file exists (without `replace`), the manifest cannot be written or a
    // register write of the synchronised start fails.
    RigRecorder(const std::string& directory, std::vector<Probe> probes, const Options& options);
    // Stops and finishes what is still recording.
    ~RigRecorder();
    RigRecorder(const RigRecorder&) = delete;
    RigRecorder& operator=(const RigRecorder&) = delete;

    // True once every recording has ended, by itself or with its packets.
    bool done() const { return running_ == 0; }
    // Ends every recording still going with `reason` and `detail`.
    void stop(RecordingInfo::End reason, const std::string& detail);
    // Waits for every recording to end, lets the followers stream on their
    // own again (`sync_ext_start` cleared), completes the manifest and returns
    // the outcomes in probe order. Throws ToolError when the manifest cannot
    // be completed; the recordings stay.
    std::vector<Outcome> finish();
    const std::string& manifestPath() const { return manifestPath_; }

    // "probe-<serial>-<address>.bin": blank EEPROMs share serial 0, so the
    // address tells their files apart.
    static std::string fileName(uint32_t serialNumber, const std::string& address);
    // The worst end among the outcomes: a failure before a stop on request,
    // a stop before completion.
    static RecordingInfo::End worst(const std::vector<Outcome>& outcomes);

private:
    void checkFiles() const;
    void armSync();
    void record(std::size_t k);
    void startOne(std::size_t k, std::optional<Recorder>& recorder);
    void stopOne(std::size_t k, Recorder& recorder, RecordingInfo::End reason,
                 const std::string& detail);
    void awaitFollowers();

    std::vector<Probe> probes_;
    Options options_;
    std::string manifestPath_;
    std::vector<Outcome> outcomes_;
    std::vector<std::thread> threads_;
    std::atomic<std::size_t> running_{0};

    mutable std::mutex mutex_;
    std::condition_variable armed_;
    std::size_t followersArmed_ = 0; // started or failed to
    std::atomic<bool> stopRequested_{false};
    RecordingInfo::End stopReason_ = RecordingInfo::End::Stopped;
    std::string stopDetail_;
};

} // namespace tolmaren_recording
