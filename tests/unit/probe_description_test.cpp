// The export's probe.json against the rules of the probeinterface format,
// along the shank and with a geometry from the user; the rules against
// documents that break them; the geometry's checks of the user's file.
#include <gtest/gtest.h>

#include <fstream>

#include "common/ScopedWorkDir.h"
#include "recording/ProbeDescription.h"
#include "recording/ProbeInterfaceRules.h"
#include "recording/ToolError.h"

namespace {

using json = nlohmann::ordered_json;
using tolmaren_recording::ProbeDescription;
using tolmaren_recording::ProbeGeometry;
using tolmaren_recording::ProbeInterfaceRules;

// A probe of type 2 with channels 0 to 191 on bank 1 and the rest on none.
tolmaren_recording::RecordingInfo type2() {
    auto info = tolmaren_recording::RecordingInfo::assumedDefaults();
    info.probeType = 2;
    for (unsigned int c = 0; c < info.bank.size(); ++c)
        info.bank[c] = c < 192 ? 1 : -1;
    return info;
}

// The description of type2() with contact e of the geometry at (e, 2 e) um.
json describedWithGeometry(const std::string& extra) {
    json probe = json::parse(ProbeDescription::toJson(type2(), ProbeGeometry::alongShank()));
    json& contacts = probe["probes"][0];
    contacts["contact_positions"] = json::array();
    contacts["contact_ids"] = contacts["shank_ids"] = contacts["contact_shape_params"] =
        contacts["contact_shapes"] = contacts["contact_plane_axes"] = json::array();
    for (unsigned int e = 0; e < 960; ++e) {
        contacts["contact_positions"].push_back({e, 2 * e});
        contacts["contact_plane_axes"].push_back({{1, 0}, {0, 1}});
        contacts["contact_shapes"].push_back("rect");
        contacts["contact_shape_params"].push_back({{"width", 12}, {"height", 15}});
        contacts["contact_ids"].push_back("");
        contacts["shank_ids"].push_back("");
    }
    contacts.erase("device_channel_indices");
    contacts["probe_planar_contour"] = {{-10, 0}, {970, 0}, {970, 2000}};
    return extra.empty() ? probe : probe.patch(json::parse(extra));
}

TEST(ProbeDescription, KeepsTheProbeinterfaceRulesAlongTheShankAndWithAGeometry) {
    ScopedWorkDir dir;
    std::ofstream("geometry.json") << describedWithGeometry("");
    const ProbeGeometry geometries[] = {ProbeGeometry::alongShank(),
                                        ProbeGeometry::load("geometry.json", 2)};
    for (const ProbeGeometry& geometry : geometries) {
        const json described = json::parse(ProbeDescription::toJson(type2(), geometry));
        EXPECT_EQ(ProbeInterfaceRules::check(described), "") << geometry.source();
        const json& probe = described["probes"][0];
        ASSERT_EQ(probe["device_channel_indices"].size(), 192u);
        EXPECT_EQ(probe["device_channel_indices"][191], 191);
        EXPECT_EQ(probe["contact_ids"][191], "e575");
        EXPECT_EQ(probe["contact_positions"][191],
                  (geometry.source().empty() ? json{0, 575} : json{575, 1150}));
        EXPECT_EQ(probe.contains("probe_planar_contour"), !geometry.source().empty());
    }
}

// Each document breaks one rule; the check names it.
TEST(ProbeInterfaceRules, NameTheFirstRuleADocumentBreaks) {
    struct Case {
        const char* patch;
        const char* broken;
    };
    const Case cases[] = {
        {R"([{"op": "remove", "path": "/probes/0/annotations/model_name"}])",
         "probes[0].annotations has no model_name string"},
        {R"([{"op": "add", "path": "/probes/0/annotations/manufacturer", "value": 3}])",
         "probes[0].annotations has no manufacturer string"},
        {R"([{"op": "add", "path": "/probes/0/name", "value": "x"}])",
         "probes[0] holds name, which the format does not define"},
        {R"([{"op": "add", "path": "/extra", "value": 1}])",
         "the document holds extra, which the format does not define"},
        {R"([{"op": "remove", "path": "/probes/0/contact_shapes"}])",
         "probes[0] has no contact_shapes"},
        {R"([{"op": "remove", "path": "/version"}])", "the document has no version"},
        {R"([{"op": "replace", "path": "/probes", "value": []}])",
         "probes is not a non-empty array"},
        {R"([{"op": "replace", "path": "/probes/0/ndim", "value": 3}])",
         "probes[0].contact_positions[0] is not a vector of ndim numbers"},
        {R"([{"op": "replace", "path": "/probes/0/si_units", "value": "cm"}])",
         "probes[0].si_units is neither \"um\" nor \"mm\""},
        {R"([{"op": "replace", "path": "/probes/0/contact_positions/3/1", "value": "2"}])",
         "probes[0].contact_positions[3] is not a vector of ndim numbers"},
        {R"([{"op": "remove", "path": "/probes/0/contact_ids/959"}])",
         "probes[0].contact_ids has 959 entries for 960 contact_positions"},
        {R"([{"op": "remove", "path": "/probes/0/contact_plane_axes/2/1"}])",
         "probes[0].contact_plane_axes[2] is not two vectors of ndim numbers"},
        {R"([{"op": "remove", "path": "/probes/0/contact_shape_params/4/height"}])",
         "probes[0].contact_shape_params[4] is not the parameters of its shape"},
        {R"([{"op": "replace", "path": "/probes/0/contact_shapes/4", "value": "oval"}])",
         "probes[0].contact_shapes[4] is not \"circle\", \"square\" or \"rect\""},
        {R"([{"op": "add", "path": "/probes/0/contact_annotations/depth", "value": [1]}])",
         "probes[0].contact_annotations.depth has 1 entries for 960 contact_positions"},
        {R"([{"op": "add", "path": "/probes/0/device_channel_indices", "value": []}])",
         "probes[0].device_channel_indices has 0 entries for 960 contact_positions"},
        {R"([{"op": "add", "path": "/probes/0/probe_planar_contour/1", "value": [1]}])",
         "probes[0].probe_planar_contour is not an array of vectors of ndim numbers"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProbeInterfaceRules::check(describedWithGeometry(c.patch)), c.broken) << c.patch;
}

// A geometry the export cannot use is refused with a message that says why.
TEST(ProbeGeometry, RefusesAFileItCannotUse) {
    struct Case {
        const char* text;
        int probeType;
        const char* message;
    };
    const std::string type2Geometry = describedWithGeometry("").dump();
    json solid = describedWithGeometry("");
    json& probe = solid["probes"][0];
    probe["ndim"] = 3;
    for (const char* member : {"contact_positions", "probe_planar_contour"})
        for (json& point : probe[member])
            point.push_back(0);
    for (json& axes : probe["contact_plane_axes"])
        for (json& axis : axes)
            axis.push_back(0);
    const std::string solidText = solid.dump();
    const std::string noFormat =
        std::string("geometry geometry.json is not a probeinterface file: the document has no ") +
        ProbeInterfaceRules::formatMember;
    const Case cases[] = {
        {nullptr, 2, "geometry: cannot open geometry.json: No such file or directory"},
        {"{\"probes\": ", 2, "geometry geometry.json is not JSON"},
        {"{\"probes\": []}", 2, noFormat.c_str()},
        {type2Geometry.c_str(), 3,
         "geometry geometry.json: probes[0] has 960 contacts, probe type 3 has 966 electrodes"},
        {solidText.c_str(), 2, "geometry geometry.json: probes[0] is not planar (ndim 2)"},
    };
    ScopedWorkDir dir;
    for (const Case& c : cases) {
        if (c.text != nullptr) std::ofstream("geometry.json") << c.text;
        try {
            ProbeGeometry::load("geometry.json", c.probeType);
            ADD_FAILURE() << c.message;
        } catch (const tolmaren_recording::ToolError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

} // namespace
