#include "recording/ProbeInterfaceRules.h"

#include <algorithm>
#include <functional>

namespace tolmaren_recording {

namespace {

using json = nlohmann::ordered_json;

const char* const topMembers[] = {ProbeInterfaceRules::formatMember, "version", "probes"};
const char* const requiredMembers[] = {"ndim",
                                       "si_units",
                                       "annotations",
                                       "contact_annotations",
                                       "contact_positions",
                                       "contact_plane_axes",
                                       "contact_shapes",
                                       "contact_shape_params",
                                       "contact_ids",
                                       "shank_ids"};
const char* const optionalMembers[] = {"device_channel_indices", "probe_planar_contour"};

// A broken rule, thrown to the top of the check.
struct Broken {
    std::string what;
};

void require(bool kept, const std::string& what) {
    if (!kept) throw Broken{what};
}

bool isVector(const json& value, std::size_t ndim) {
    return value.is_array() && value.size() == ndim &&
           std::all_of(value.begin(), value.end(), [](const json& x) { return x.is_number(); });
}

bool hasNumber(const json& object, const char* name) {
    return object.contains(name) && object[name].is_number();
}

bool isShapeOf(const json& params, const std::string& shape) {
    if (!params.is_object()) return false;
    if (shape == "circle") return hasNumber(params, "radius");
    if (shape == "square") return hasNumber(params, "width");
    return hasNumber(params, "width") && hasNumber(params, "height");
}

// An array of one valid entry per contact.
void perContact(const json& probe, const std::string& where, const char* member,
                std::size_t contacts, const char* what,
                const std::function<bool(const json&, std::size_t)>& valid) {
    const json& entries = probe[member];
    const std::string name = where + "." + member;
    require(entries.is_array(), name + " is not an array");
    require(entries.size() == contacts, name + " has " + std::to_string(entries.size()) +
                                            " entries for " + std::to_string(contacts) +
                                            " contact_positions");
    for (std::size_t i = 0; i < contacts; ++i)
        require(valid(entries[i], i), name + "[" + std::to_string(i) + "] is not " + what);
}

void checkProbe(const json& probe, const std::string& where) {
    require(probe.is_object(), where + " is not an object");
    for (const auto& member : probe.items()) {
        const auto defined = [&](const char* name) { return member.key() == name; };
        require(std::any_of(std::begin(requiredMembers), std::end(requiredMembers), defined) ||
                    std::any_of(std::begin(optionalMembers), std::end(optionalMembers), defined),
                where + " holds " + member.key() + ", which the format does not define");
    }
    for (const char* name : requiredMembers)
        require(probe.contains(name), where + " has no " + name);

    const json& ndim = probe["ndim"];
    require(ndim == 2 || ndim == 3, where + ".ndim is neither 2 nor 3");
    const auto dimensions = ndim.get<std::size_t>();
    require(probe["si_units"] == "um" || probe["si_units"] == "mm",
            where + ".si_units is neither \"um\" nor \"mm\"");
    const json& annotations = probe["annotations"];
    require(annotations.is_object(), where + ".annotations is not an object");
    for (const char* name : {"model_name", "manufacturer"})
        require(annotations.contains(name) && annotations[name].is_string(),
                where + ".annotations has no " + name + " string");

    const json& positions = probe["contact_positions"];
    require(positions.is_array(), where + ".contact_positions is not an array");
    const std::size_t contacts = positions.size();
    const auto vector = [&](const json& v, std::size_t) { return isVector(v, dimensions); };
    const char* vectorText = "a vector of ndim numbers";
    perContact(probe, where, "contact_positions", contacts, vectorText, vector);
    perContact(probe, where, "contact_plane_axes", contacts, "two vectors of ndim numbers",
               [&](const json& axes, std::size_t) {
                   return axes.is_array() && axes.size() == 2 && vector(axes[0], 0) &&
                          vector(axes[1], 0);
               });
    const json& shapes = probe["contact_shapes"];
    perContact(probe, where, "contact_shapes", contacts, "\"circle\", \"square\" or \"rect\"",
               [](const json& shape, std::size_t) {
                   return shape == "circle" || shape == "square" || shape == "rect";
               });
    perContact(probe, where, "contact_shape_params", contacts, "the parameters of its shape",
               [&](const json& params, std::size_t i) {
                   return isShapeOf(params, shapes[i].get<std::string>());
               });
    const auto text = [](const json& v, std::size_t) { return v.is_string(); };
    perContact(probe, where, "contact_ids", contacts, "a string", text);
    perContact(probe, where, "shank_ids", contacts, "a string", text);
    const json& contactAnnotations = probe["contact_annotations"];
    require(contactAnnotations.is_object(), where + ".contact_annotations is not an object");
    for (const auto& annotation : contactAnnotations.items())
        perContact(contactAnnotations, where + ".contact_annotations", annotation.key().c_str(),
                   contacts, "anything", [](const json&, std::size_t) { return true; });

    if (probe.contains("device_channel_indices"))
        perContact(probe, where, "device_channel_indices", contacts, "an integer of at least -1",
                   [](const json& v, std::size_t) { return v.is_number_integer() && v >= -1; });
    if (probe.contains("probe_planar_contour")) {
        const json& contour = probe["probe_planar_contour"];
        require(contour.is_array() &&
                    std::all_of(contour.begin(), contour.end(),
                                [&](const json& point) { return isVector(point, dimensions); }),
                where + ".probe_planar_contour is not an array of vectors of ndim numbers");
    }
}

} // namespace

std::string ProbeInterfaceRules::check(const json& document) {
    try {
        require(document.is_object(), "the document is not a JSON object");
        for (const auto& member : document.items())
            require(std::any_of(std::begin(topMembers), std::end(topMembers),
                                [&](const char* name) { return member.key() == name; }),
                    "the document holds " + member.key() + ", which the format does not define");
        for (const char* name : topMembers)
            require(document.contains(name), std::string("the document has no ") + name);
        require(document[formatMember] == formatName,
                std::string(formatMember) + " is not \"" + formatName + "\"");
        require(document["version"].is_string(), "version is not a string");
        const json& probes = document["probes"];
        require(probes.is_array() && !probes.empty(), "probes is not a non-empty array");
        for (std::size_t p = 0; p < probes.size(); ++p)
            checkProbe(probes[p], "probes[" + std::to_string(p) + "]");
    } catch (const Broken& broken) {
        return broken.what;
    }
    return "";
}

} // namespace tolmaren_recording
