#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "recording/LiveReader.h"
#include "recording/OutputFile.h"
#include "recording/ProbeState.h"
#include "recording/RecordingInfo.h"
#include "recording/RecordingSource.h"
#include "recording/SidecarFile.h"

namespace tolmaren_recording {

class WriteError;

// Records the live stream of an open probe to a raw file while decoding it,
// with its sidecar beside it, so that no failure loses what was recorded:
// - the file and the sidecar are created under their own names, never over
//   existing files unless asked to, and the sidecar holds the settings
//   before the first byte of data: any data file has its scale, even after
//   the recorder was killed;
// - the recording begins with a datapath reset, so that every sample in it
//   was converted with those settings (the reset drops what the basestation
//   and the links still held from before);
// - the recorder writes the file itself, forces it to the disk every two
//   seconds, and the file holds exactly the bytes the decoder read, so its
//   counts are the ones `tolmaren play` finds in it;
// - a stall longer than the stall time-out, a lost link (after what the link
//   had received), a full disk (at the first write that falls short, the file
//   cut back to the last point its counts account for) or any other failure
//   ends the recording: the file stays, and its sidecar says why it ended,
//   as it does for a stop on request.
// With `reconnect`, a lost link is opened again (ProbeState) and the
// recording goes on as a new segment in a new file of its set: OUT, then
// OUT's name with -2, -3, ... before its extension, each with its sidecar;
// OUT's sidecar lists them all.
//
// Use: construct, readPacket() until enough packets came or ended(), then
// finish() with the reason the caller stops for.
class Recorder {
public:
    struct Options {
        bool replace = false;            // replace an existing file and sidecar
        bool allowNoElectrodes = false;  // record though no channel records an electrode
        double stallTimeoutSeconds = 10; // a pause of the stream up to this long is waited out
        bool reconnect = false;          // reopen a lost link and go on in a new file
        // Start the stream with the software start, which also starts the
        // basestations waiting for the start-trigger line (LiveReader).
        bool softwareStart = false;
        // Decode the samples of the packets readPacket() returns (the live
        // view shows them); otherwise their blocks are only checked and
        // counted, which costs less.
        bool samples = false;
    };
    // What the recording came to, over all the files of its set.
    struct Summary {
        RecordingInfo::End ended;
        std::string endDetail;
        StreamCounts counts;
        uint64_t bytes;
        std::vector<std::string> files;
        RecordingInfo first; // what OUT's sidecar holds
    };

    // Starts recording the open probe to `path`; `settings` describe it as it
    // records (see ProbeSnapshot). Throws ToolError when it cannot start:
    // the file or the sidecar exists (without `replace`) or cannot be
    // created, no channel records an electrode (without `allowNoElectrodes`),
    // the datapath reset fails.
    Recorder(Tolmaren_basestation_api& api, const std::string& path, RecordingInfo settings,
             const Options& options);
    // Finishes a recording that was not finished as failed, keeping it.
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The next packet, whole or abandoned, valid until the next call: its
    // blocks checked and counted, and unless Options::samples not decoded,
    // so that only present, position and segment hold. Null
    // while the stream pauses (after at most the data link's 1-s time-out,
    // so that the caller can look for a stop request), while a lost link is
    // being reopened, and once the recording has ended by itself.
    const CodePacket* readPacket();
    // True once the recording has ended by itself: stalled, link lost (and
    // not reopened), disk full, failed.
    bool ended() const { return ended_; }
    // Over all the files so far.
    StreamCounts counts() const;

    // Ends the recording with `reason` (and `detail`, the cause in words)
    // unless it has ended by itself, completes every sidecar and returns
    // the summary. Throws ToolError when a sidecar cannot be completed; the
    // files stay.
    Summary finish(RecordingInfo::End reason, const std::string& detail = "");

private:
    using Clock = std::chrono::steady_clock;
    struct Segment {
        std::string path;
        std::unique_ptr<OutputFile> data; // until the segment ends
        std::unique_ptr<SidecarFile> sidecar;
        RecordingInfo info;
    };

    void startSegment(const std::string& path, bool replace);
    // Removes the files of the latest segment, which holds no data.
    void discardSegment();
    void beginStream();
    void keepUp(Clock::time_point now, bool paused);
    // All pending bytes, or (`all` false) those up to the last page
    // boundary of the file.
    void flush(bool all);
    void endSegment(RecordingInfo::End end, std::string detail);
    void stop(RecordingInfo::End end, const std::string& detail);
    void writeFailed(const WriteError& error);
    void linkLost(const std::string& detail);
    void reconnect();
    void writeSidecar(Segment& segment);
    void restoreSource();
    std::string nextSegmentPath() const;

    Tolmaren_basestation_api& api_;
    StreamDecoder& decoder_;
    BlockSource* const decoderSource_;
    const bool decoderCodes_; // the decoder's setting, back once recording ends
    Options options_;
    RecordingInfo settings_;
    std::optional<ProbeState> state_; // with reconnect
    std::vector<Segment> segments_;
    std::optional<LiveReader> reader_;
    // The decoder's source while a stream is recorded; it holds what the
    // decoder read and the recorder has not yet written, which the recorder
    // writes in slices, as a full disk is found at the first write that falls
    // short.
    std::unique_ptr<RecordingSource> source_;
    bool writeFailed_ = false;
    // The latest point at which the file held exactly what the counts
    // account for: where a file that cannot take more is cut back to.
    uint64_t wholeBytes_ = 0;
    StreamCounts wholeCounts_;
    // The latest point the counts account for, which may still lie in the
    // pending bytes: it becomes the whole point once the file holds it.
    uint64_t pointBytes_ = 0;
    StreamCounts pointCounts_;
    StreamCounts earlierCounts_; // of the segments ended
    uint64_t earlierBytes_ = 0;
    Clock::time_point lastData_;
    Clock::time_point nextSync_;
    std::optional<Clock::time_point> reconnectUntil_;
    std::string lostDetail_;
    bool ended_ = false;
    bool finished_ = false;
    RecordingInfo::End end_ = RecordingInfo::End::InProgress;
    std::string endDetail_;
    std::string sidecarFailure_;
};

} // namespace tolmaren_recording
