#include "recording/RecordingSettings.h"

#include "recording/Sidecar.h"

namespace tolmaren_recording {

RecordingSettings RecordingSettings::load(const RecordingReader& recording, std::ostream& notes) {
    const std::string& path = recording.path();
    if (recording.leftoverBytes() > 0) notes << recording.leftoverWarning() << "\n";
    if (auto info = Sidecar::read(Sidecar::pathFor(path))) {
        if (info->ended == RecordingInfo::End::InProgress)
            notes << "note: " << path << " was never finished (the recorder was killed, or "
                  << "the power failed): it holds what reached the disk, up to its last whole "
                  << "block\n";
        else if (recording.fileBytes() < info->bytes)
            notes << "warning: " << path << " holds " << recording.fileBytes()
                  << " bytes, its sidecar says " << info->bytes << ": a copy cut short\n";
        return {*info, false};
    }
    notes << "note: no sidecar " << Sidecar::pathFor(path)
          << ": assuming probe type 0 and gain code " << RecordingInfo::openGainCode
          << " on every channel, as after the open\n";
    return {RecordingInfo::assumedDefaults(), true};
}

} // namespace tolmaren_recording
