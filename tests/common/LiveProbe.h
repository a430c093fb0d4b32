#pragma once

#include <cstdint>
#include <vector>

#include "common/CalibrationView.h"
#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "sim/BasestationSimulator.h"

// A simulator of one probe at the test's own address and a facade to open it,
// logging into a directory of its own.
struct LiveProbe {
    static tolmaren_sim::SimulatorOptions probe(int type, uint32_t serial) {
        auto options = TestAddress::simulator();
        options.probeType = type;
        options.serialNumber = serial;
        return options;
    }

    explicit LiveProbe(const tolmaren_sim::SimulatorOptions& options, bool start = true)
        : sim(options) {
        if (start) sim.start();
        api.tolmaren_setBasestationAddress(TestAddress::own());
        api.tolmaren_startLog();
    }

    void failUart(std::vector<tolmaren_sim::UartFault> uart) {
        auto faults = sim.faults();
        faults.uartFaults = std::move(uart);
        sim.setFaults(faults);
    }

    ScopedWorkDir dir;
    tolmaren_sim::BasestationSimulator sim;
    CalibrationView api; // closes its links before the simulator stops
};
