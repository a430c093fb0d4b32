#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tolmaren_recording {

// Where a probe's electrodes lie, as probeinterface describes contacts. The
// library knows only the order of the electrodes along the shank, so without
// a geometry from the user electrode e sits at (0, e) in units of one
// electrode pitch, a circle of radius 0.25 pitch.
class ProbeGeometry {
public:
    static ProbeGeometry alongShank();
    // From a probeinterface file that keeps the format's rules (see
    // ProbeInterfaceRules): contact e of its first probe, which must be
    // planar and have a contact for every electrode of `probeType`, is
    // electrode e. Throws ToolError naming what is wrong.
    static ProbeGeometry load(const std::string& path, int probeType);

    // The file the geometry came from; empty along the shank.
    const std::string& source() const { return source_; }
    // What the positions mean, for the files that carry them.
    std::string note() const;
    std::string siUnits() const;
    nlohmann::ordered_json position(unsigned int electrode) const;
    nlohmann::ordered_json planeAxes(unsigned int electrode) const;
    nlohmann::ordered_json shape(unsigned int electrode) const;
    nlohmann::ordered_json shapeParams(unsigned int electrode) const;
    std::string shankId(unsigned int electrode) const;
    // The probe's outline, or null.
    nlohmann::ordered_json contour() const;

private:
    std::string source_;
    nlohmann::ordered_json probe_; // the file's first probe
};

} // namespace tolmaren_recording
