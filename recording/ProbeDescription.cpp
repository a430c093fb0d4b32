#include "recording/ProbeDescription.h"

#include "recording/JsonText.h"

namespace tolmaren_recording {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* positionsNote =
    "Positions are not physical. The probe system's documented interface and its simulator give "
    "only the order of the electrodes along the single shank and which channel records which "
    "electrode (the simulator spaces them evenly). So electrode e is placed at (0, e), in units "
    "of one electrode pitch rather than micrometres, and the contact radius of 0.25 pitch is a "
    "placeholder. Replace them with the real geometry before relying on distances.";

} // namespace

std::string ProbeDescription::toJson(const RecordingInfo& info) {
    json positions = json::array(), axes = json::array(), shapes = json::array(),
         shapeParams = json::array(), channels = json::array(), ids = json::array(),
         shanks = json::array();
    const std::vector<int> electrodes = info.electrodes();
    for (unsigned int c = 0; c < electrodes.size(); ++c) {
        if (electrodes[c] < 0) continue;
        positions.push_back({0, electrodes[c]});
        axes.push_back({{1, 0}, {0, 1}});
        shapes.push_back("circle");
        shapeParams.push_back({{"radius", 0.25}});
        channels.push_back(c);
        ids.push_back("e" + std::to_string(electrodes[c]));
        shanks.push_back("0");
    }
    const json probe = {
        {"ndim", 2},
        {"si_units", "um"},
        {"annotations",
         {{"name", "tolmaren probe type " + std::to_string(info.probeType)},
          {"serial_number", std::to_string(info.serialNumber)},
          {"positions_note", positionsNote}}},
        {"contact_annotations", json::object()},
        {"contact_positions", positions},
        {"contact_plane_axes", axes},
        {"contact_shapes", shapes},
        {"contact_shape_params", shapeParams},
        {"device_channel_indices", channels},
        {"contact_ids", ids},
        {"shank_ids", shanks},
    };
    const json document = {
        {"specification", "probeinterface"},
        {"version", "0.2.21"},
        {"probes", json::array({probe})},
    };
    return JsonText::format(document);
}

} // namespace tolmaren_recording
