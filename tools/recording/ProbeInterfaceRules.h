#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tolmaren_recording {

// The rules of the probeinterface JSON format, as its published schema and
// the readers that follow it hold them:
// - the document is an object of exactly formatMember (formatName),
//   "version" (a string) and "probes" (a non-empty array of objects);
// - a probe holds only the members the format defines, and all of ndim (2 or
//   3), si_units ("um" or "mm"), annotations (an object with the strings
//   model_name and manufacturer; more annotations may follow),
//   contact_annotations (an object of arrays with one entry per contact),
//   contact_positions (one vector of ndim numbers per contact),
//   contact_plane_axes (two such vectors per contact), contact_shapes
//   ("circle", "square" or "rect" per contact), contact_shape_params (per
//   contact an object with the number radius for a circle, width for a
//   square, width and height for a rect), contact_ids and shank_ids (a string
//   per contact);
// - device_channel_indices (an integer of at least -1 per contact, -1 for a
//   contact wired to no channel) and probe_planar_contour (vectors of ndim
//   numbers) are optional.
class ProbeInterfaceRules {
public:
    // The member by which a document names its format, and that name: the
    // format's own key, which every reader of it looks for.
    static constexpr const char* formatMember = "specification";
    static constexpr const char* formatName = "probeinterface";

    // The first rule `document` breaks, in words that name the member
    // ("probes[0].annotations has no model_name"); empty when it keeps all.
    static std::string check(const nlohmann::ordered_json& document);
};

} // namespace tolmaren_recording
