// tolmaren.Simulator: the basestation simulator in this process.
#include <optional>
#include <pybind11/stl.h>

#include "Bindings.h"
#include "api/BasestationAddress.h"
#include "sim/BasestationSimulator.h"

namespace py = pybind11;
using tolmaren_sim::BasestationSimulator;

namespace {

std::unique_ptr<BasestationSimulator> make(std::optional<int> probeType,
                                           std::optional<uint32_t> serialNumber, bool fast,
                                           uint64_t seed,
                                           const std::optional<std::string>& address) {
    tolmaren_sim::SimulatorOptions options;
    // Where a Basestation without an address looks.
    options.address = address.value_or(BasestationAddress::fromEnvironment());
    if (!BasestationAddress::isValid(options.address))
        throw py::value_error(options.address +
                              " is not a numeric IPv4 address (such as 127.0.0.1)");
    options.probeType = probeType;
    options.serialNumber = serialNumber;
    options.seed = seed;
    options.data.pacing =
        fast ? tolmaren_sim::DataPacing::Fast : tolmaren_sim::DataPacing::RealTime;
    return std::make_unique<BasestationSimulator>(options);
}

void start(BasestationSimulator& simulator) {
    py::gil_scoped_release release;
    simulator.start();
}

void stop(BasestationSimulator& simulator) {
    py::gil_scoped_release release;
    simulator.stop();
}

} // namespace

void bindSimulator(py::module_& module) {
    py::class_<BasestationSimulator>(
        module, "Simulator",
        "The basestation simulator (basestation, headstage and probe) in this process, on the "
        "basestation's ports 1234 and 1235 of a loopback address, so that a Basestation "
        "needs no hardware. As a context manager it runs from entry to exit:\n\n"
        "    with tolmaren.Simulator(probe_type=2), tolmaren.Basestation() as station:\n"
        "        ...\n\n"
        "Only one simulator (or basestation program) can hold the ports of an address at a time.")
        .def(py::init(&make), py::arg("probe_type") = py::none(),
             py::arg("serial_number") = py::none(), py::arg("fast") = true, py::arg("seed") = 1,
             py::arg("address") = py::none(),
             "probe_type 0 to 3 and serial_number below 2**30 (default: type 0, serial 0). "
             "fast: stream as fast as the host reads, dropping nothing, instead of at the real "
             "rate of 2500 packets a second. seed draws the probe's hidden analogue properties "
             "(offsets, gains, impedances) that calibrations measure. address: the IPv4 "
             "address to listen on, such as '127.0.0.2' (default: where a Basestation without "
             "an address looks).")
        .def("start", &start,
             "Binds the ports and starts serving; raises RuntimeError when they are taken.")
        .def("stop", &stop, "Ends the connections and stops serving.")
        .def_property_readonly("running", &BasestationSimulator::running)
        .def_property_readonly(
            "address",
            [](const BasestationSimulator& simulator) { return simulator.options().address; },
            "The IPv4 address the simulator listens on.")
        .def_property_readonly(
            "display",
            [](const BasestationSimulator& simulator) {
                const auto lines = simulator.displayLines();
                return std::pair<std::string, std::string>(lines[0], lines[1]);
            },
            "The two lines on the basestation's display.")
        .def("__enter__",
             [](BasestationSimulator& simulator) -> BasestationSimulator& {
                 start(simulator);
                 return simulator;
             })
        .def("__exit__", [](BasestationSimulator& simulator, py::args) {
            stop(simulator);
            return false;
        });
}
