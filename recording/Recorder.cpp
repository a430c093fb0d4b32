#include "recording/Recorder.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "recording/Sidecar.h"
#include "recording/StatusWords.h"
#include "recording/TextFile.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

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

} // namespace

Recorder::Recorder(Tolmaren_basestation_api& api, const std::string& path, RecordingInfo settings)
    : api_(api), info_(std::move(settings)), recording_(path), sidecar_(Sidecar::pathFor(path)),
      reader_(api) {
    // The facade reports no file that fails to open, so try it first.
    if (!std::ofstream(recording_.temporaryPath(), std::ios::binary | std::ios::trunc))
        throw ToolError("cannot write " + recording_.temporaryPath());
    StatusWords::check("tolmaren_startRecording",
                       api_.tolmaren_startRecording(recording_.temporaryPath()));
    recordingActive_ = true;
    info_.startTime = now();
}

Recorder::~Recorder() {
    if (recordingActive_) api_.tolmaren_stopRecording();
}

RecordingInfo Recorder::finish(bool interrupted) {
    // The blocks of a packet in progress are in the file: they count.
    reader_.finish();
    StatusWords::check("tolmaren_stopRecording", api_.tolmaren_stopRecording());
    recordingActive_ = false;
    info_.counts = counts();
    info_.interrupted = interrupted;
    std::error_code error;
    info_.bytes = std::filesystem::file_size(recording_.temporaryPath(), error);
    if (error) throw ToolError("cannot read back " + recording_.temporaryPath());

    TextFile::write(sidecar_.temporaryPath(), Sidecar::toJson(info_));
    recording_.commit();
    sidecar_.commit();
    return info_;
}

} // namespace tolmaren_recording
