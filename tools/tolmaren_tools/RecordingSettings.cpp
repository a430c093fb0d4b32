#include "tolmaren_tools/RecordingSettings.h"

#include "tolmaren_tools/Sidecar.h"

namespace tolmaren_tools {

RecordingSettings RecordingSettings::load(const std::string& recording, std::ostream& notes) {
    if (auto info = Sidecar::readFor(recording)) return {*info, false};
    notes << "note: no sidecar " << Sidecar::pathFor(recording)
          << ": assuming probe type 0 and gain code " << RecordingInfo::openGainCode
          << " on every channel, as after the open\n";
    return {RecordingInfo::assumedDefaults(), true};
}

} // namespace tolmaren_tools
