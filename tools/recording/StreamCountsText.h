#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "data/StreamCounts.h"

namespace tolmaren_recording {

// The decoder's counts as every front end shows them: one line of text, and
// the members of a JSON object (the sidecar's "recorded", the export's
// "stream", the Python module's dicts).
class StreamCountsText {
public:
    // "5000 packets, 1 abandoned, 60006 blocks, 0 rejected, 1 gap of 6 blocks,
    // 1 segment"
    static std::string line(const StreamCounts& counts);
    static void addTo(nlohmann::ordered_json& object, const StreamCounts& counts);
    // From an object written by addTo(), named `name` in messages; throws
    // std::invalid_argument for a count that is missing or no count.
    static StreamCounts from(const nlohmann::ordered_json& object, const std::string& name = "");
};

} // namespace tolmaren_recording
