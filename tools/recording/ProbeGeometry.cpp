#include "recording/ProbeGeometry.h"

#include "api/RegularFile.h"
#include "recording/ProbeInterfaceRules.h"
#include "recording/ProbeLayout.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* alongShankNote =
    "Positions are not physical. The probe system's documented interface and its simulator give "
    "only the order of the electrodes along the single shank and which channel records which "
    "electrode (the simulator spaces them evenly). So electrode e is placed at (0, e), in units "
    "of one electrode pitch rather than micrometres, and the contact radius of 0.25 pitch is a "
    "placeholder. Give the real geometry (tolmaren export --geometry) before relying on "
    "distances.";

// Far beyond a probeinterface file of a few probes of 966 contacts each.
constexpr std::size_t maxGeometryBytes = std::size_t(64) << 20;

} // namespace

ProbeGeometry ProbeGeometry::alongShank() {
    return {};
}

ProbeGeometry ProbeGeometry::load(const std::string& path, int probeType) {
    RegularFile file(path);
    std::string text;
    if (!file.readAll(maxGeometryBytes, text)) throw ToolError("geometry: " + file.problem());
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded()) throw ToolError("geometry " + path + " is not JSON");
    const std::string broken = ProbeInterfaceRules::check(document);
    if (!broken.empty())
        throw ToolError("geometry " + path + " is not a probeinterface file: " + broken);
    const json& probe = document["probes"][0];
    if (probe["ndim"] != 2)
        throw ToolError("geometry " + path + ": probes[0] is not planar (ndim 2)");
    const std::size_t contacts = probe["contact_positions"].size();
    const unsigned int electrodes = ProbeLayout::electrodeCount(probeType);
    if (contacts < electrodes)
        throw ToolError("geometry " + path + ": probes[0] has " + std::to_string(contacts) +
                        " contacts, probe type " + std::to_string(probeType) + " has " +
                        std::to_string(electrodes) + " electrodes");
    ProbeGeometry geometry;
    geometry.source_ = path;
    geometry.probe_ = probe;
    return geometry;
}

std::string ProbeGeometry::note() const {
    if (source_.empty()) return alongShankNote;
    return "Contact positions, shapes and plane axes from " + source_ +
           ": contact e of its first probe is electrode e.";
}

std::string ProbeGeometry::siUnits() const {
    return source_.empty() ? "um" : probe_["si_units"].get<std::string>();
}

json ProbeGeometry::position(unsigned int electrode) const {
    return source_.empty() ? json{0, electrode} : probe_["contact_positions"][electrode];
}

json ProbeGeometry::planeAxes(unsigned int electrode) const {
    return source_.empty() ? json{{1, 0}, {0, 1}} : probe_["contact_plane_axes"][electrode];
}

json ProbeGeometry::shape(unsigned int electrode) const {
    return source_.empty() ? json("circle") : probe_["contact_shapes"][electrode];
}

json ProbeGeometry::shapeParams(unsigned int electrode) const {
    return source_.empty() ? json{{"radius", 0.25}} : probe_["contact_shape_params"][electrode];
}

std::string ProbeGeometry::shankId(unsigned int electrode) const {
    if (source_.empty()) return "0";
    return probe_["shank_ids"][electrode].get<std::string>();
}

json ProbeGeometry::contour() const {
    return source_.empty() || !probe_.contains("probe_planar_contour")
               ? json(nullptr)
               : probe_["probe_planar_contour"];
}

} // namespace tolmaren_recording
