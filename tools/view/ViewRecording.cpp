#include "view/ViewRecording.h"

namespace tolmaren_view {

namespace {

// The view draws what it records.
tolmaren_recording::Recorder::Options options() {
    tolmaren_recording::Recorder::Options options;
    options.samples = true;
    return options;
}

} // namespace

ViewRecording::ViewRecording(Tolmaren_basestation_api& api, const std::string& path,
                             tolmaren_recording::RecordingInfo settings)
    : recorder_(api, path, std::move(settings), options()), path_(path) {}

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
