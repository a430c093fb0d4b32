#pragma once

#include <cstdint>
#include <string>

#include "recording/Recorder.h"

namespace tolmaren_view {

// A recording that the view starts and stops, through the recorder of
// `record`, so that it writes the same file and sidecar: durably, and kept
// whatever ends it.
class ViewRecording {
public:
    // Throws ToolError when the file cannot be written.
    ViewRecording(Tolmaren_basestation_api& api, const std::string& path,
                  tolmaren_recording::RecordingInfo settings);

    // As Recorder::readPacket(): null while the stream pauses and once the
    // recording has ended by itself (see ended()).
    const CodePacket* readPacket();
    bool ended() const { return recorder_.ended(); }
    // Completes the sidecar with `reason` unless the recording ended by
    // itself. Throws ToolError when the sidecar cannot be completed.
    tolmaren_recording::Recorder::Summary finish(tolmaren_recording::RecordingInfo::End reason,
                                                 const std::string& detail = "");

    const std::string& path() const { return path_; }
    // Packets read, whole or abandoned.
    uint64_t packets() const { return packets_; }

private:
    tolmaren_recording::Recorder recorder_;
    std::string path_;
    uint64_t packets_ = 0;
};

} // namespace tolmaren_view
