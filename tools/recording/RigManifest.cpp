#include "recording/RigManifest.h"

#include <filesystem>

#include "recording/JsonText.h"
#include "recording/Sidecar.h"

namespace tolmaren_recording {

namespace {

using Json = nlohmann::ordered_json;

std::string fileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

Json probeJson(const RigRecorder::Outcome& outcome, bool finished) {
    Json probe;
    probe["file"] = fileNameOf(outcome.path);
    probe["sidecar"] = fileNameOf(Sidecar::pathFor(outcome.path));
    probe["serial_number"] = outcome.serialNumber;
    probe["address"] = outcome.address;
    probe["leader"] = outcome.leader;
    Json anchor;
    anchor["wall_clock"] = outcome.anchorTime.empty() ? Json() : Json(outcome.anchorTime);
    anchor["block_counter"] = 0;
    probe["anchor"] = anchor;
    probe["first_block_counter"] = outcome.firstPosition ? Json(*outcome.firstPosition) : Json();
    probe["ended"] =
        RecordingInfo::endName(finished ? outcome.ended() : RecordingInfo::End::InProgress);
    if (!finished) return probe;
    const auto& summary = outcome.summary;
    probe["end_detail"] = summary && outcome.failure.empty() ? summary->endDetail : outcome.failure;
    probe["packets"] = outcome.packets();
    probe["bytes"] = summary ? summary->bytes : 0;
    Json files = Json::array();
    if (summary)
        for (const std::string& file : summary->files)
            files.push_back(fileNameOf(file));
    probe["segment_files"] = files;
    return probe;
}

} // namespace

std::string RigManifest::pathIn(const std::string& directory) {
    return (std::filesystem::path(directory) / "rig.json").string();
}

std::string RigManifest::toJson(const std::vector<RigRecorder::Outcome>& outcomes, bool sync,
                                bool finished) {
    Json manifest;
    manifest["synchronised"] = sync;
    Json leader;
    for (const auto& outcome : outcomes)
        if (outcome.leader) leader = fileNameOf(outcome.path);
    manifest["leader"] = leader;
    manifest["ended"] = RecordingInfo::endName(finished ? RigRecorder::worst(outcomes)
                                                        : RecordingInfo::End::InProgress);
    Json probes = Json::array();
    for (const auto& outcome : outcomes)
        probes.push_back(probeJson(outcome, finished));
    manifest["probes"] = probes;
    return JsonText::format(manifest);
}

} // namespace tolmaren_recording
