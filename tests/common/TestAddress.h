#pragma once

#include <string>
#include <unistd.h>

#include "sim/SimulatorOptions.h"

// The loopback addresses of this test process. Test processes run at once and
// every simulator listens on the basestation's fixed ports, so each process
// takes addresses that no other running process holds, from its pid:
// 127.0.0.0 + 4 pid + k, k = 0 for its own basestation, 1 for a second one
// and 2 for one where nothing listens. Pids stay below 2^22, so the addresses
// stay inside 127.0.0.0/8 and below 127.255.255.255; no test runs as pid 0,
// so 127.0.0.1, the library's default, is never one of them.
class TestAddress {
public:
    static std::string own() { return of(0); }
    static std::string other() { return of(1); }
    static std::string vacant() { return of(2); }

    // Simulator options whose basestation listens at own().
    static tolmaren_sim::SimulatorOptions simulator() {
        tolmaren_sim::SimulatorOptions options;
        options.address = own();
        return options;
    }

private:
    static std::string of(unsigned long k) {
        const unsigned long host = 4 * static_cast<unsigned long>(::getpid()) + k;
        return "127." + std::to_string(host >> 16 & 255) + "." + std::to_string(host >> 8 & 255) +
               "." + std::to_string(host & 255);
    }
};
