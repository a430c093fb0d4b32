#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/ConfigServer.h"
#include "sim/DataFaults.h"
#include "sim/DataServer.h"
#include "sim/Eeprom.h"
#include "sim/Faults.h"
#include "sim/HardwareModel.h"
#include "sim/ProbeTruth.h"
#include "sim/RequestCounters.h"
#include "sim/RigWiring.h"
#include "sim/SimulatorOptions.h"

namespace tolmaren_sim {

// The basestation, headstage and probe stand-in. start() serves the
// configuration port on a thread of its own; the state can be inspected and
// faults switched from any thread while it runs. A lone basestation by
// default; SimulatorRig wires several into one rig.
class BasestationSimulator {
public:
    // Throws as HardwareModel does for bad options.
    explicit BasestationSimulator(const SimulatorOptions& options = {}, RigWiring rig = {});
    ~BasestationSimulator();
    BasestationSimulator(const BasestationSimulator&) = delete;
    BasestationSimulator& operator=(const BasestationSimulator&) = delete;

    // Binds the configuration and data ports and starts serving; throws
    // std::runtime_error when a port cannot be bound.
    void start();
    // Ends the connection and the server thread; never blocks on a client.
    void stop();
    bool running() const { return configServer_.running(); }
    // The bound configuration port (the chosen one when 0 was asked for).
    uint16_t configPort() const { return configServer_.port(); }
    const SimulatorOptions& options() const { return hardware_->options; }
    // The bound data port (the chosen one when 0 was asked for).
    uint16_t dataPort() const { return dataServer_.port(); }
    // Faults of the data stream, and what the data port has sent.
    DataFaults dataFaults() const { return dataServer_.faults(); }
    void setDataFaults(const DataFaults& faults) { dataServer_.setFaults(faults); }
    DataServer::Statistics dataStatistics() const { return dataServer_.statistics(); }

    // Inspection, all thread-safe.
    uint32_t registerValue(uint32_t address) const;
    std::array<std::string, 2> displayLines() const;
    // Line 2 of the display after each of its latest writes, oldest first
    // (at most BasestationRegisters::displayHistoryLength).
    std::vector<std::string> displayHistory() const;
    std::vector<bool> chain(unsigned int chain) const;
    uint8_t headstageRegister(uint8_t reg) const;
    uint8_t serializerRegister(uint8_t reg) const;
    uint8_t deserializerRegister(uint8_t reg) const;
    Eeprom::Contents eepromContents() const;
    // The mode latched by the probe ASIC (0 configuration ... 3 recording).
    int asicMode() const;
    int probeType() const;
    RequestCounters counters() const;
    // The probe's hidden analogue properties (drawn from the options' seed),
    // for comparison with what a calibration finds. Fixed for the
    // simulator's life.
    const ProbeTruth& truth() const { return truth_; }

    Faults faults() const;
    void setFaults(const Faults& faults);
    void setTemperatureCode(uint32_t code);

    // Runs f on the model under the simulator's lock: the way for other
    // servers of this simulator (the data port) and for tests to reach state
    // that has no accessor of its own.
    template <typename F> auto inspect(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const HardwareModel&>(*hardware_));
    }
    template <typename F> auto modify(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(*hardware_);
    }

private:
    mutable std::mutex mutex_;
    std::unique_ptr<HardwareModel> hardware_;
    const ProbeTruth truth_;
    ConfigServer configServer_;
    DataServer dataServer_;
};

} // namespace tolmaren_sim
