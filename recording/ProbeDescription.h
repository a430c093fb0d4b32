#pragma once

#include <string>

#include "recording/RecordingInfo.h"

namespace tolmaren_recording {

// A probe description in the probeinterface JSON format: one contact per
// channel that records an electrode, with the channel as its device index.
// Neither the library nor the simulator gives the shank a physical geometry,
// only the order of its electrodes, so the positions are electrode numbers
// along one line and the file says so.
class ProbeDescription {
public:
    static std::string toJson(const RecordingInfo& info);
};

} // namespace tolmaren_recording
