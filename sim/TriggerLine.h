#pragma once

#include <cstdint>
#include <mutex>

#include "sim/RigClock.h"

namespace tolmaren_sim {

// The start-trigger line of a rig: it joins every basestation's trigger
// output to the external-start inputs of the others. A pulse carries the
// timing of the stream of the basestation that drove it, so that the
// basestations it starts number their units as that one does. Only the
// latest pulse matters: an input takes it when it came after the input was
// last armed (mark()). Thread-safe; it never calls out, so callers may hold
// their own locks.
class TriggerLine {
public:
    // When a stream's unit `unit` was due, at `unitRate` units a second.
    struct Timing {
        RigClock::time_point at{};
        uint64_t unit = 0;
        double unitRate = 30000;
    };
    struct Pulse {
        uint64_t sequence = 0; // 0: the line never fired
        unsigned int source = 0;
        Timing timing;
    };

    // A place in the order of the line's events, later than every pulse so far.
    uint64_t mark();
    // Basestation `source` drives a pulse.
    void fire(unsigned int source, const Timing& timing);
    Pulse latest() const;
    // Pulses so far.
    uint64_t pulses() const;

private:
    mutable std::mutex mutex_;
    uint64_t sequence_ = 0;
    uint64_t pulses_ = 0;
    Pulse latest_;
};

} // namespace tolmaren_sim
