// The Python module `tolmaren`.
#include "Bindings.h"
#include "link/Diagnostics.h"

#include <iostream>

namespace py = pybind11;

PYBIND11_MODULE(tolmaren, module) {
    module.doc() =
        "Drive a Tolmaren neural recording probe system, or its simulator, from Python: open a "
        "basestation, configure the probe, read packets into NumPy arrays, record, read "
        "recordings back and export them, run the self tests.";
    // As the command-line tool does: the library's trace lines of its links
    // would otherwise interleave with a notebook's output.
    Diagnostics::redirect(nullptr);
    module.def(
        "show_diagnostics", [](bool show) { Diagnostics::redirect(show ? &std::cerr : nullptr); },
        py::arg("show"),
        "Show (True) or hide (False, the default) the library's diagnostic lines on standard "
        "error: link construction, error bits reported by the basestation.");
    bindErrors(module);
    bindData(module);
    bindSimulator(module);
    bindBasestation(module);
    bindRecordings(module);
}
