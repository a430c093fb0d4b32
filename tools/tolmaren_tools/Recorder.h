#pragma once

#include <memory>
#include <string>

#include "api/Tolmaren_basestation_api.h"
#include "tolmaren_tools/CounterContinuity.h"
#include "tolmaren_tools/PendingFile.h"
#include "tolmaren_tools/RecordingInfo.h"
#include "tolmaren_tools/RecordingReader.h"

namespace tolmaren_tools {

// Records the live stream of an open probe to a raw file through the facade
// while decoding it packet by packet, then writes the sidecar beside it. The
// file and its sidecar appear under their names only when finish() is done;
// a recorder destroyed before that leaves nothing behind.
class Recorder {
public:
    // Reads that fail in a row before the stream counts as lost: one second.
    static constexpr unsigned int failureLimit = 2500;

    // `settings` describes the probe as it records (see ProbeSnapshot).
    // Throws ToolError when the file cannot be written.
    Recorder(Tolmaren_basestation_api& api, const std::string& path, RecordingInfo settings);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Reads one packet; one that fails its checks counts as a decode error.
    // Throws ToolError when no data came within the library's 1-s time-out,
    // or when failureLimit reads fail in a row.
    void readPacket();
    StreamCounts counts() const;

    // Stops recording, writes the sidecar, puts both in place; returns what
    // the sidecar holds. `interrupted`: the user stopped the recording early.
    RecordingInfo finish(bool interrupted);

private:
    Tolmaren_basestation_api& api_;
    RecordingInfo info_;
    PendingFile recording_;
    PendingFile sidecar_;
    std::unique_ptr<ElectrodePacket> packet_;
    StreamCounts counts_;
    CounterContinuity continuity_;
    unsigned int failuresInARow_ = 0;
    bool recordingActive_ = false;
};

} // namespace tolmaren_tools
