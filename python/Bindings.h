#pragma once

#include <pybind11/pybind11.h>

// Each part of the module `tolmaren` is defined by one of these, in its own
// source file; module.cpp calls them in this order.
void bindErrors(pybind11::module_& module);
void bindData(pybind11::module_& module);
void bindSimulator(pybind11::module_& module);
void bindBasestation(pybind11::module_& module);
void bindRecordings(pybind11::module_& module);
