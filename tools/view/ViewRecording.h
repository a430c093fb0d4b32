#pragma once

#include <cstdint>
#include <string>

#include "recording/Recorder.h"

namespace tolmaren_view {

// A recording that the view starts and stops, through the recorder of
// `record`, so that it writes the same file and sidecar. It uses only the
// recorder's constructor, readPacket() and finish().
class ViewRecording {
public:
    // Throws ToolError when the file cannot be written.
    ViewRecording(Tolmaren_basestation_api& api, const std::string& path,
                  tolmaren_recording::RecordingInfo settings);

    // As Recorder::readPacket().
    const CodePacket* readPacket();
    // Writes the sidecar and puts both files in place. The view records until
    // it is told to stop, so no stop is early.
    tolmaren_recording::RecordingInfo finish();

    const std::string& path() const { return path_; }
    // Packets read, whole or abandoned.
    uint64_t packets() const { return packets_; }

private:
    tolmaren_recording::Recorder recorder_;
    std::string path_;
    uint64_t packets_ = 0;
};

} // namespace tolmaren_view
