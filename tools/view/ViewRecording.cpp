#include "view/ViewRecording.h"

namespace tolmaren_view {

ViewRecording::ViewRecording(Tolmaren_basestation_api& api, const std::string& path,
                             tolmaren_recording::RecordingInfo settings)
    : recorder_(api, path, std::move(settings), tolmaren_recording::Recorder::Options{}),
      path_(path) {}

const CodePacket* ViewRecording::readPacket() {
    const CodePacket* packet = recorder_.readPacket();
    if (packet != nullptr) ++packets_;
    return packet;
}

tolmaren_recording::Recorder::Summary
ViewRecording::finish(tolmaren_recording::RecordingInfo::End reason, const std::string& detail) {
    return recorder_.finish(reason, detail);
}

} // namespace tolmaren_view
