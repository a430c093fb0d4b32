#pragma once

#include <gtest/gtest.h>

#include "common/FastCalibrationApi.h"
#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "link/Diagnostics.h"
#include "sim/BasestationSimulator.h"

// An opened probe of the type and seed on the simulator at the test's own
// address in fast pacing, driven by the facade of the CI sweeps or one
// derived from it.
template <typename Api = FastCalibrationApi> struct CalibrationProbe {
    explicit CalibrationProbe(int type, uint64_t seed = 1)
        : sim([&] {
              auto o = TestAddress::simulator();
              o.probeType = type;
              o.seed = seed;
              o.data.pacing = tolmaren_sim::DataPacing::Fast;
              return o;
          }()) {
        diagnostics_ = Diagnostics::redirect(nullptr); // a line at every reconnection otherwise
        sim.start();
        api.tolmaren_setBasestationAddress(TestAddress::own());
        api.tolmaren_startLog();
        EXPECT_EQ(api.tolmaren_open(0), 0u);
    }

    ~CalibrationProbe() { Diagnostics::redirect(diagnostics_); }

    std::ostream* diagnostics_ = nullptr; // restored for later tests
    ScopedWorkDir dir;
    tolmaren_sim::BasestationSimulator sim;
    Api api; // closes its links before the simulator stops
};
