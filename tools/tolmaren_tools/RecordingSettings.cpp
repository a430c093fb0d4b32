#include "cli/RecordingSettings.h"

#include <iostream>

#include "tolmaren_tools/Sidecar.h"

using tolmaren_tools::RecordingInfo;
using tolmaren_tools::Sidecar;

RecordingSettings RecordingSettings::load(const std::string& recording) {
    if (auto info = Sidecar::readFor(recording)) return {*info, false};
    std::cerr << "note: no sidecar " << Sidecar::pathFor(recording)
              << ": assuming probe type 0 and gain code " << RecordingInfo::openGainCode
              << " on every channel, as after the open\n";
    return {RecordingInfo::assumedDefaults(), true};
}
