#pragma once

#include <pybind11/pybind11.h>
#include <string>

// JSON text of the tools (a sidecar) as Python's dicts and lists.
class PythonJson {
public:
    static pybind11::object parse(const std::string& text) {
        return pybind11::module_::import("json").attr("loads")(text);
    }
};
