#pragma once

#include <cstdint>
#include <optional>

namespace tolmaren_sim {

// Faults of the data stream. Positions count stream units (electrode blocks
// in electrode data mode, ADC records in ADC data mode) from 0 at the start
// of the stream: a new connection, the end of a datapath reset or a change of
// data mode. Each fault fires once, when the stream reaches its unit, and is
// then cleared; a unit the stream has passed (or dropped) never fires.
struct DataFaults {
    // Nothing is sent for pauseMs before this unit.
    std::optional<uint64_t> pauseAtUnit;
    unsigned int pauseMs = 1500;
    // The unit's first data word carries the marker 10 instead of 00.
    std::optional<uint64_t> corruptMarkerAtUnit;
    // The electrode block carries the index after its own (ADC records have
    // none: ignored in ADC data mode).
    std::optional<uint64_t> wrongIndexAtUnit;
    // The first half of the unit is sent, then the connection is closed.
    std::optional<uint64_t> closeAtUnit;
};

} // namespace tolmaren_sim
