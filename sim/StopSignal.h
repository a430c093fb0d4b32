#pragma once

#include <atomic>

#include "sim/UniqueFd.h"

namespace tolmaren_sim {

// A pipe that server threads poll next to their sockets, so that stop()
// wakes every wait at once.
class StopSignal {
public:
    StopSignal();

    void raise();
    void clear();
    // Without a system call: cheap enough to ask after every receive.
    bool raised() const { return raised_.load(); }
    // The descriptor that becomes readable once raised.
    int fd() const { return read_.get(); }
    // Sleeps up to ms milliseconds; returns true when woken by raise().
    bool waitFor(unsigned int ms) const;

private:
    UniqueFd read_;
    UniqueFd write_;
    std::atomic<bool> raised_{false};
};

} // namespace tolmaren_sim
