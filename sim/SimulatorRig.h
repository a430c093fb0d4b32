#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/BasestationSimulator.h"
#include "sim/RigSignals.h"
#include "sim/SimulatorOptions.h"

namespace tolmaren_sim {

// Several basestations in one process, wired as one rig, as a lab records
// from several probes at once: basestation k (from 0) listens on the k-th
// address after the first one's, has its own probe (memberOptions), and all
// share one pacing clock, one synchronization input and one start-trigger
// line (RigSignals). A rig of one is a lone basestation, as
// BasestationSimulator is by itself.
class SimulatorRig {
public:
    static constexpr unsigned int maxBasestations = 16;

    // Throws std::invalid_argument for a count outside 1 to maxBasestations
    // or addresses beyond 255.255.255.255, and as BasestationSimulator does.
    SimulatorRig(const SimulatorOptions& first, unsigned int basestations = 1);
    SimulatorRig(const SimulatorRig&) = delete;
    SimulatorRig& operator=(const SimulatorRig&) = delete;

    // Starts every basestation; when one cannot bind its ports, stops the
    // others and throws its std::runtime_error.
    void start();
    void stop();
    bool running() const;

    std::size_t size() const { return basestations_.size(); }
    BasestationSimulator& basestation(std::size_t k) { return *basestations_.at(k); }
    const BasestationSimulator& basestation(std::size_t k) const { return *basestations_.at(k); }
    // Pulses the start-trigger line has carried.
    uint64_t triggerPulses() const { return signals_->line.pulses(); }

    // Basestation k's options: the first one's with the k-th following
    // address, serial number + k (without one: k, unless its EEPROM file
    // holds one), seed + k and EEPROM file FILE.<k + 1>.
    static SimulatorOptions memberOptions(const SimulatorOptions& first, unsigned int k);
    // The k-th IPv4 address after `first`; throws std::invalid_argument when
    // first is not one or there is none.
    static std::string address(const std::string& first, unsigned int k);

private:
    std::shared_ptr<RigSignals> signals_;
    std::vector<std::unique_ptr<BasestationSimulator>> basestations_;
};

} // namespace tolmaren_sim
