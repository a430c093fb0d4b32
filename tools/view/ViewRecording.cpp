#include "view/ViewRecording.h"

namespace tolmaren_view {

ViewRecording::ViewRecording(Tolmaren_basestation_api& api, const std::string& path,
                             tolmaren_recording::RecordingInfo settings)
    : recorder_(api, path, std::move(settings)), path_(path) {}

const CodePacket* ViewRecording::readPacket() {
    const CodePacket* packet = recorder_.readPacket();
    if (packet != nullptr) ++packets_;
    return packet;
}

tolmaren_recording::RecordingInfo ViewRecording::finish() {
    return recorder_.finish(false);
}

} // namespace tolmaren_view
