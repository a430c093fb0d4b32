#pragma once

#include <cstdint>
#include <optional>

namespace tolmaren_sim {

// Faults of the data port, each mirroring what a real link does. Positions
// count stream units (electrode blocks in electrode data mode, ADC records in
// ADC data mode) from 0 at the start of the stream: a new connection, the end
// of a datapath reset or a change of data mode. Faults of different kinds may
// be armed together at different positions and fire in the stream's order.
//
// A fault fires once, when the next unit to go out is its unit (for the drop
// and the splice: any unit of their range), and is then cleared. One whose
// unit the stream has passed without sending it (lost to a full FIFO, dropped
// by another fault, or armed too late) stays armed and fires in a later
// stream that reaches it. When several fire at one unit, the stall comes
// first, then the drop and the splice (a dropped unit takes no other fault),
// then the marker, the index and the close on the unit itself.
struct DataFaults {
    // Stall: nothing is sent for pauseMs before this unit. In real-time
    // pacing the probe goes on producing into the FIFO meanwhile, so the
    // stall delays data and loses it only when the FIFO overflows.
    std::optional<uint64_t> pauseAtUnit;
    unsigned int pauseMs = 1500;
    // Drop: units [dropAtUnit, dropAtUnit + dropUnits) are never sent (in
    // real-time pacing they leave the FIFO unsent, as an overflow loses
    // them); the units after them keep their numbers, so a reader sees a gap
    // of dropUnits. dropUnits 0 drops nothing and never fires.
    std::optional<uint64_t> dropAtUnit;
    uint64_t dropUnits = 1;
    // Splice: a drop of one packet's worth of units from this one on (12
    // blocks; 13 records in ADC data mode). From a unit that is not first in
    // its packet, the packet around it is completed by the next packet's
    // units of the same places: it looks whole by its block indices, but its
    // counters jump by 12.
    std::optional<uint64_t> spliceAtUnit;
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
