#pragma once

#include <cstdint>
#include <vector>

#include "common/CalibrationView.h"
#include "common/ScopedWorkDir.h"
#include "sim/BasestationSimulator.h"

// A simulator of one probe on the basestation's fixed ports and a facade to
// open it, logging into a directory of its own. Tests using it need the port
// lock of the sim tier.
struct LiveProbe {
    static tolmaren_sim::SimulatorOptions probe(int type, uint32_t serial) {
        tolmaren_sim::SimulatorOptions options;
        options.probeType = type;
        options.serialNumber = serial;
        return options;
    }

    explicit LiveProbe(const tolmaren_sim::SimulatorOptions& options, bool start = true)
        : sim(options) {
        if (start) sim.start();
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
