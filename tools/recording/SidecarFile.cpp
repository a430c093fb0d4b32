#include "recording/SidecarFile.h"

namespace tolmaren_recording {

void SidecarFile::write(const std::string& text) {
    if (room_ == 0) room_ = text.size() + spareBytes;
    std::string padded = text;
    if (padded.size() < room_) padded.append(room_ - padded.size() - 1, ' ').push_back('\n');
    file_.writeAt(0, padded.data(), padded.size());
    room_ = padded.size();
    file_.sync();
}

} // namespace tolmaren_recording
