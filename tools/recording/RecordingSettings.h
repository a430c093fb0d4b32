#pragma once

#include <ostream>
#include <string>

#include "recording/RecordingInfo.h"
#include "recording/RecordingReader.h"

namespace tolmaren_recording {

// The settings a recording was made with: from its sidecar, or assumed when
// it has none. Loaded once the recording itself has opened, so that a
// missing file is reported alone.
struct RecordingSettings {
    RecordingInfo info;
    bool assumed = false;

    // Tells `notes`, a line each, what was assumed when there is no sidecar,
    // and that the recording was cut short: never finished by its recorder,
    // shorter than its sidecar says, or ending inside a block (it is read up
    // to its last whole block).
    // Throws ToolError for a malformed sidecar.
    static RecordingSettings load(const RecordingReader& recording, std::ostream& notes);
};

} // namespace tolmaren_recording
