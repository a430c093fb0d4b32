#pragma once

#include <exception>
#include <pybind11/pybind11.h>

class Basestation;

// Each part of the module `tolmaren` is defined by one of these, in its own
// source file; module.cpp calls them in this order.
void bindErrors(pybind11::module_& module);
void bindData(pybind11::module_& module);
void bindSimulator(pybind11::module_& module);
void bindBasestation(pybind11::module_& module);
// Called by bindBasestation.
void bindCalibrations(pybind11::class_<Basestation>& station);
void bindRecordings(pybind11::module_& module);

// A tolmaren.Error for a failure thrown as a C++ exception (one of the kinds
// the module translates; others are rethrown).
pybind11::object errorFor(std::exception_ptr failure);
// Raises it with `data` attached: what a read got before it failed.
[[noreturn]] void raiseWith(std::exception_ptr failure, pybind11::object data);
