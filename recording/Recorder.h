#pragma once

#include <string>

#include "api/Tolmaren_basestation_api.h"
#include "recording/LiveReader.h"
#include "recording/PendingFile.h"
#include "recording/RecordingInfo.h"

namespace tolmaren_recording {

// Records the live stream of an open probe to a raw file through the facade
// while decoding it packet by packet, then writes the sidecar beside it. The
// file and its sidecar appear under their names only when finish() is done;
// a recorder destroyed before that leaves nothing behind.
class Recorder {
public:
    // `settings` describes the probe as it records (see ProbeSnapshot).
    // Throws ToolError when the file cannot be written.
    Recorder(Tolmaren_basestation_api& api, const std::string& path, RecordingInfo settings);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Reads the next packet, whole or abandoned (valid until the next call);
    // null and throws as LiveReader::next().
    const CodePacket* readPacket() { return reader_.next(); }
    StreamCounts counts() const { return reader_.counts(); }

    // Stops recording, writes the sidecar, puts both in place; returns what
    // the sidecar holds. `interrupted`: the user stopped the recording early.
    RecordingInfo finish(bool interrupted);

private:
    Tolmaren_basestation_api& api_;
    RecordingInfo info_;
    PendingFile recording_;
    PendingFile sidecar_;
    LiveReader reader_;
    bool recordingActive_ = false;
};

} // namespace tolmaren_recording
