#include "recording/Recorder.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "link/FileDescriptor.h"
#include "recording/RecordingReader.h"
#include "recording/Sidecar.h"
#include "recording/ToolError.h"
#include "recording/WriteError.h"

namespace tolmaren_recording {

namespace {

using End = RecordingInfo::End;

// Written in slices of this size: a full disk shows within 57 ms of data at
// the probe's rate, and costs at most two slices of what was read before it
// (the file is cut back to the point its counts last accounted for, which
// lags by a slice). Each write also costs the file system a fixed amount
// (its size and times change), so that a write of 1 MiB costs less than
// half of sixteen writes of 64 KiB at the real-time rate.
constexpr std::size_t sliceBytes = 1024 * 1024;
// While at least this much is pending, it is written as soon as the next
// packet could make the source reuse the memory it lies in, rather than
// copied: a live link's buffer at the default latency. At low latency the
// link reuses it every few blocks, where writes that small would cost more
// than the copies.
constexpr std::size_t leastEarlyBytes = 256 * 1024;
// Those writes end on a page boundary of the file: a write that ends inside
// a page makes the system zero the rest of that page first.
constexpr uint64_t pageBytes = 4096;
// A power cut loses at most this much of the recording.
constexpr auto syncInterval = std::chrono::seconds(2);
// Between two attempts to reopen a lost link.
constexpr auto reconnectPause = std::chrono::seconds(1);

// ISO 8601 in UTC with milliseconds.
std::string now() {
    const auto time = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis));
    return text;
}

void add(StreamCounts& total, const StreamCounts& more) {
    total.packets += more.packets;
    total.blocks += more.blocks;
    total.blocksRejected += more.blocksRejected;
    total.packetsAbandoned += more.packetsAbandoned;
    total.gaps += more.gaps;
    total.blocksLost += more.blocksLost;
    total.segments += more.segments;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

} // namespace

Recorder::Recorder(Tolmaren_basestation_api& api, const std::string& path, RecordingInfo settings,
                   const Options& options)
    : api_(api), decoder_(api.tolmaren_getStreamDecoder()), decoderSource_(decoder_.source()),
      decoderCodes_(decoder_.decodesCodes()), options_(options), settings_(std::move(settings)) {
    if (!options_.allowNoElectrodes && settings_.recordingChannels() == 0)
        throw ToolError("no channel records an electrode (probe types 2 and 3 open with every "
                        "electrode disconnected): select a bank first with --bank (Python: "
                        "select_bank), or record anyway with --no-electrodes-ok (Python: "
                        "no_electrodes_ok=True)");
    if (options_.reconnect) state_.emplace(api_);
    startSegment(path, options_.replace);
    try {
        beginStream();
    } catch (...) {
        discardSegment();
        throw;
    }
}

Recorder::~Recorder() {
    if (!finished_) {
        try {
            finish(End::Failed, "the program stopped recording without finishing the recording");
        } catch (...) {
            // The files stay as they are: nothing more can be done here.
        }
    }
    restoreSource();
}

void Recorder::startSegment(const std::string& path, bool replace) {
    // The exclusive creation below refuses them as well; this says what to do.
    for (const std::string& file : {path, Sidecar::pathFor(path)}) {
        std::error_code error;
        if (!replace && std::filesystem::exists(std::filesystem::symlink_status(file, error)))
            throw ToolError(file + " exists: pass --force (Python: force=True) to replace it");
    }
    Segment segment;
    segment.path = path;
    segment.data = std::make_unique<OutputFile>(path, replace);
    try {
        segment.sidecar = std::make_unique<SidecarFile>(Sidecar::pathFor(path), replace);
    } catch (...) {
        segment.data.reset();
        ::unlink(path.c_str());
        throw;
    }
    segment.info = settings_;
    segment.info.segment = static_cast<unsigned int>(segments_.size() + 1);
    segments_.push_back(std::move(segment));
}

void Recorder::discardSegment() {
    restoreSource();
    reader_.reset();
    const std::string path = segments_.back().path;
    segments_.pop_back();
    ::unlink(path.c_str());
    ::unlink(Sidecar::pathFor(path).c_str());
}

void Recorder::beginStream() {
    reader_.emplace(api_);
    reader_->restart(options_.softwareStart);
    writeFailed_ = false;
    wholeBytes_ = pointBytes_ = 0;
    wholeCounts_ = pointCounts_ = StreamCounts();
    Segment& segment = segments_.back();
    segment.info.startTime = now();
    // Complete with the settings before the first byte of data.
    writeSidecar(segment);
    OutputFile::syncDirectoryOf(segment.path);
    source_ = std::make_unique<RecordingSource>(*decoderSource_);
    decoder_.setSource(source_.get());
    decoder_.decodeCodes(options_.samples);
    lastData_ = Clock::now();
    nextSync_ = lastData_ + syncInterval;
}

const CodePacket* Recorder::readPacket() {
    if (ended_) return nullptr;
    if (reconnectUntil_) {
        reconnect();
        return nullptr;
    }
    try {
        const CodePacket* packet = reader_->poll();
        const auto now = Clock::now();
        if (packet != nullptr) {
            lastData_ = now;
            keepUp(now, false);
            return packet;
        }
        if (reader_->ended()) {
            stop(End::LinkLost, "the played-back recording ended");
            return nullptr;
        }
        keepUp(now, true);
        if (now - lastData_ >= std::chrono::duration<double>(options_.stallTimeoutSeconds))
            stop(End::Stalled, "no data arrived for " + secondsText(options_.stallTimeoutSeconds) +
                                   " s (the stall time-out)");
    } catch (const WriteError& e) {
        writeFailed(e);
    } catch (const morvek::FileDescriptor::Exception& e) { // after all it had received
        linkLost(std::string("the data connection failed (") + e.what() + ")");
    } catch (const ToolError& e) { // nothing but damage came for a second
        linkLost(e.what());
    }
    return nullptr;
}

StreamCounts Recorder::counts() const {
    StreamCounts total = earlierCounts_;
    if (reader_) add(total, reader_->counts());
    return total;
}

void Recorder::keepUp(Clock::time_point now, bool paused) {
    const bool sync = now >= nextSync_;
    if (paused || sync)
        flush(true);
    else if (source_->pending() >= sliceBytes || (source_->pending() >= leastEarlyBytes &&
                                                  source_->wouldCopy(RecordingReader::packetBytes)))
        flush(false);
    if (sync) {
        segments_.back().data->sync();
        nextSync_ = now + syncInterval;
    }
}

void Recorder::flush(bool all) {
    OutputFile& file = *segments_.back().data;
    std::size_t n = source_->pending();
    if (!all) n -= static_cast<std::size_t>((file.size() + n) % pageBytes);
    if (n > 0) source_->writeTo(file, n);
    if (pointBytes_ <= file.size()) {
        wholeBytes_ = pointBytes_;
        wholeCounts_ = pointCounts_;
    }
    if (!reader_->holding()) {
        pointBytes_ = file.size() + source_->pending();
        pointCounts_ = reader_->counts();
        if (source_->pending() == 0) {
            wholeBytes_ = pointBytes_;
            wholeCounts_ = pointCounts_;
        }
    }
}

void Recorder::endSegment(End end, std::string detail) {
    Segment& segment = segments_.back();
    if (!writeFailed_ && source_) {
        try {
            flush(true);
        } catch (const WriteError& e) {
            writeFailed_ = true;
            end = e.full() ? End::DiskFull : End::Failed;
            detail = e.what();
        }
    }
    restoreSource();
    StreamCounts counts;
    if (writeFailed_) {
        // The counts hold for the file only up to the last whole point.
        try {
            segment.data->truncate(wholeBytes_);
        } catch (const WriteError&) {
            // The file keeps a tail the counts miss; play reads it all the same.
        }
        counts = wholeCounts_;
    } else {
        reader_->finish(); // the packet in progress is in the file: it counts
        counts = reader_->counts();
    }
    try {
        segment.data->sync();
    } catch (const WriteError& e) {
        if (end != End::DiskFull) {
            end = End::Failed;
            detail = e.what();
        }
    }
    segment.info.counts = counts;
    segment.info.bytes = segment.data->size();
    segment.info.ended = end;
    segment.info.endDetail = detail;
    add(earlierCounts_, counts);
    earlierBytes_ += segment.info.bytes;
    segment.data.reset();
    reader_.reset();
    try {
        writeSidecar(segment);
    } catch (const ToolError& e) {
        sidecarFailure_ = e.what();
    }
}

void Recorder::stop(End end, const std::string& detail) {
    endSegment(end, detail);
    ended_ = true;
    end_ = segments_.back().info.ended;
    endDetail_ = segments_.back().info.endDetail;
}

void Recorder::writeFailed(const WriteError& error) {
    writeFailed_ = true;
    stop(error.full() ? End::DiskFull : End::Failed, error.what());
}

void Recorder::linkLost(const std::string& detail) {
    if (!state_) {
        stop(End::LinkLost, detail);
        return;
    }
    endSegment(End::LinkLost, detail);
    if (segments_.back().info.ended != End::LinkLost) { // the disk failed as well
        ended_ = true;
        end_ = segments_.back().info.ended;
        endDetail_ = segments_.back().info.endDetail;
        return;
    }
    lostDetail_ = detail;
    reconnectUntil_ =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(options_.stallTimeoutSeconds));
    reconnect();
}

void Recorder::reconnect() {
    std::string failure;
    try {
        state_->reopen(api_);
        startSegment(nextSegmentPath(), false);
        try {
            beginStream();
        } catch (...) {
            discardSegment();
            throw;
        }
        reconnectUntil_.reset();
        // OUT's sidecar lists the set as it grows.
        try {
            writeSidecar(segments_.front());
        } catch (const ToolError& e) {
            sidecarFailure_ = e.what();
        }
        return;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (Clock::now() >= *reconnectUntil_) {
        reconnectUntil_.reset();
        ended_ = true;
        end_ = End::LinkLost;
        endDetail_ = lostDetail_ + "; reopening it failed: " + failure;
        return;
    }
    std::this_thread::sleep_for(reconnectPause);
}

void Recorder::writeSidecar(Segment& segment) {
    segment.info.segmentFiles.clear();
    for (const Segment& s : segments_)
        segment.info.segmentFiles.push_back(std::filesystem::path(s.path).filename().string());
    segment.sidecar->write(Sidecar::toJson(segment.info));
}

void Recorder::restoreSource() {
    if (!source_) return;
    decoder_.setSource(decoderSource_);
    decoder_.decodeCodes(decoderCodes_);
    source_.reset();
}

std::string Recorder::nextSegmentPath() const {
    const std::filesystem::path first(segments_.front().path);
    for (std::size_t n = segments_.size() + 1;; ++n) {
        std::filesystem::path next = first;
        next.replace_filename(first.stem().string() + "-" + std::to_string(n) +
                              first.extension().string());
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(next, error))) return next;
    }
}

Recorder::Summary Recorder::finish(End reason, const std::string& detail) {
    if (!ended_) {
        if (reader_) {
            stop(reason, detail);
        } else { // stopped while a lost link was being reopened
            ended_ = true;
            end_ = reason;
            endDetail_ = detail;
        }
        reconnectUntil_.reset();
    }
    if (!finished_ && segments_.size() > 1) {
        try {
            writeSidecar(segments_.front());
        } catch (const ToolError& e) {
            sidecarFailure_ = e.what();
        }
    }
    finished_ = true;
    if (!sidecarFailure_.empty())
        throw ToolError(sidecarFailure_ + "; the recorded data stays in " + segments_.front().path);
    Summary summary{end_, endDetail_, earlierCounts_, earlierBytes_, {}, segments_.front().info};
    for (const Segment& segment : segments_)
        summary.files.push_back(segment.path);
    return summary;
}

} // namespace tolmaren_recording
