#pragma once

#include <string>
#include <vector>

#include "recording/RigRecorder.h"

namespace tolmaren_recording {

// `rig.json`, beside the recordings of a rig: which files were recorded
// together, from which basestation and probe, who led and whether the start
// was synchronised, each file's wall-clock anchor (the time at which its
// block counter 0 began) and how each recording ended.
class RigManifest {
public:
    static std::string pathIn(const std::string& directory);
    // Before the recordings end (`finished` false) every one is "in progress".
    static std::string toJson(const std::vector<RigRecorder::Outcome>& outcomes, bool sync,
                              bool finished);
};

} // namespace tolmaren_recording
