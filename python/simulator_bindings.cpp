// tolmaren.Simulator: the basestation simulator in this process, one
// basestation or a rig of several.
#include <optional>
#include <pybind11/stl.h>
#include <stdexcept>

#include "Bindings.h"
#include "api/BasestationAddress.h"
#include "sim/SimulatorRig.h"

namespace py = pybind11;
using tolmaren_sim::SimulatorRig;

namespace {

std::unique_ptr<SimulatorRig> make(std::optional<int> probeType,
                                   std::optional<uint32_t> serialNumber, bool fast, uint64_t seed,
                                   const std::optional<std::string>& address,
                                   unsigned int basestations) {
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
    try {
        return std::make_unique<SimulatorRig>(options, basestations);
    } catch (const std::invalid_argument& e) {
        throw py::value_error(e.what());
    }
}

void start(SimulatorRig& simulator) {
    py::gil_scoped_release release;
    simulator.start();
}

void stop(SimulatorRig& simulator) {
    py::gil_scoped_release release;
    simulator.stop();
}

} // namespace

void bindSimulator(py::module_& module) {
    py::class_<SimulatorRig>(
        module, "Simulator",
        "The basestation simulator (basestation, headstage and probe) in this process, on the "
        "basestation's ports 1234 and 1235 of a loopback address, so that a Basestation "
        "needs no hardware. As a context manager it runs from entry to exit:\n\n"
        "    with tolmaren.Simulator(probe_type=2), tolmaren.Basestation() as station:\n"
        "        ...\n\n"
        "With basestations=N it is a rig of N basestations on consecutive addresses from "
        "address on (127.0.0.1, 127.0.0.2, ...), each with its own probe, sharing one clock, "
        "one synchronization input and one start-trigger line, so that a software start of "
        "one starts those waiting for an external start in step with it. Only one simulator "
        "(or basestation program) can hold the ports of an address at a time.")
        .def(py::init(&make), py::arg("probe_type") = py::none(),
             py::arg("serial_number") = py::none(), py::arg("fast") = true, py::arg("seed") = 1,
             py::arg("address") = py::none(), py::arg("basestations") = 1,
             "probe_type 0 to 3 and serial_number below 2**30 (default: type 0, serial 0). "
             "fast: stream as fast as the host reads, dropping nothing, instead of at the real "
             "rate of 2500 packets a second. seed draws the probe's hidden analogue properties "
             "(offsets, gains, impedances) that calibrations measure. address: the IPv4 "
             "address to listen on, such as '127.0.0.2' (default: where a Basestation without "
             "an address looks). basestations: 1 to 16; basestation k (from 0) has serial "
             "number serial_number + k (k without one) and seed seed + k.")
        .def("start", &start,
             "Binds the ports and starts serving; raises RuntimeError when they are taken.")
        .def("stop", &stop, "Ends the connections and stops serving.")
        .def_property_readonly("running", &SimulatorRig::running)
        .def_property_readonly(
            "address",
            [](const SimulatorRig& simulator) {
                return simulator.basestation(0).options().address;
            },
            "The IPv4 address the (first) basestation listens on.")
        .def_property_readonly(
            "addresses",
            [](const SimulatorRig& simulator) {
                std::vector<std::string> addresses;
                for (std::size_t k = 0; k < simulator.size(); ++k)
                    addresses.push_back(simulator.basestation(k).options().address);
                return addresses;
            },
            "The IPv4 addresses of the rig's basestations, in order.")
        .def_property_readonly(
            "display",
            [](const SimulatorRig& simulator) {
                const auto lines = simulator.basestation(0).displayLines();
                return std::pair<std::string, std::string>(lines[0], lines[1]);
            },
            "The two lines on the (first) basestation's display.")
        .def("__enter__",
             [](SimulatorRig& simulator) -> SimulatorRig& {
                 start(simulator);
                 return simulator;
             })
        .def("__exit__", [](SimulatorRig& simulator, py::args) {
            stop(simulator);
            return false;
        });
}
