#pragma once

#include <cstdint>
#include <optional>

namespace tolmaren_sim {

// Faults of the data port. Positions of the stream's faults count stream
// units (electrode blocks in electrode data mode, ADC records in ADC data
// mode) from 0 at the start of the stream: a new connection, the end of a
// datapath reset or a change of data mode. Each fault fires once, when the
// stream (or the loopback) reaches its position, and is then cleared; a
// position passed (or a unit dropped) never fires.
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
    // Loopback: the byte at this position among those the client wrote on
    // this connection (from 0) comes back inverted.
    std::optional<uint64_t> flipLoopbackByte;
};

} // namespace tolmaren_sim
