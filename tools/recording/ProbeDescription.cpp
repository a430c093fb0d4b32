#include "recording/ProbeDescription.h"

#include "recording/JsonText.h"
#include "recording/ProbeInterfaceRules.h"

namespace tolmaren_recording {

std::string ProbeDescription::toJson(const RecordingInfo& info, const ProbeGeometry& geometry) {
    using json = nlohmann::ordered_json;
    json positions = json::array(), axes = json::array(), shapes = json::array(),
         shapeParams = json::array(), channels = json::array(), ids = json::array(),
         shanks = json::array();
    const std::vector<int> electrodes = info.electrodes();
    for (unsigned int c = 0; c < electrodes.size(); ++c) {
        if (electrodes[c] < 0) continue;
        const auto e = static_cast<unsigned int>(electrodes[c]);
        positions.push_back(geometry.position(e));
        axes.push_back(geometry.planeAxes(e));
        shapes.push_back(geometry.shape(e));
        shapeParams.push_back(geometry.shapeParams(e));
        channels.push_back(c);
        ids.push_back("e" + std::to_string(e));
        shanks.push_back(geometry.shankId(e));
    }
    json probe = {
        {"ndim", 2},
        {"si_units", geometry.siUnits()},
        {"annotations",
         {{"model_name", "Tolmaren probe type " + std::to_string(info.probeType)},
          {"manufacturer", "Tolmaren"},
          {"serial_number", std::to_string(info.serialNumber)},
          {"positions_note", geometry.note()}}},
        {"contact_annotations", json::object()},
        {"contact_positions", positions},
        {"contact_plane_axes", axes},
        {"contact_shapes", shapes},
        {"contact_shape_params", shapeParams},
        {"device_channel_indices", channels},
        {"contact_ids", ids},
        {"shank_ids", shanks},
    };
    const json contour = geometry.contour();
    if (!contour.is_null()) probe["probe_planar_contour"] = contour;
    const json document = {
        {ProbeInterfaceRules::formatMember, ProbeInterfaceRules::formatName},
        {"version", "0.2.21"},
        {"probes", json::array({probe})},
    };
    return JsonText::format(document);
}

} // namespace tolmaren_recording
