#pragma once

#include <pybind11/pybind11.h>
#include <string>

#include "recording/StreamCountsText.h"

// JSON text of the tools (a sidecar) as Python's dicts and lists.
class PythonJson {
public:
    static pybind11::object parse(const std::string& text) {
        return pybind11::module_::import("json").attr("loads")(text);
    }
    // The decoder's counts as the sidecar names them.
    static pybind11::object counts(const StreamCounts& counts) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        tolmaren_recording::StreamCountsText::addTo(object, counts);
        return parse(object.dump());
    }
};
