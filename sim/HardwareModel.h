#pragma once

#include "sim/BasestationRegisters.h"
#include "sim/Eeprom.h"
#include "sim/EepromController.h"
#include "sim/Faults.h"
#include "sim/Headstage.h"
#include "sim/ProbeAsic.h"
#include "sim/RequestCounters.h"
#include "sim/RigWiring.h"
#include "sim/SerdesDevice.h"
#include "sim/SimulatorOptions.h"
#include "sim/UartBridge.h"

namespace tolmaren_sim {

// Everything the simulator models, wired together: basestation registers,
// UART bridge, serializer and deserializer, headstage with its EEPROM and the
// probe ASIC, the injected faults and the traffic counters. Not thread-safe:
// the simulator guards it with one mutex, and every server (configuration
// port, data port) works on it only while holding that mutex.
class HardwareModel {
public:
    // Throws std::invalid_argument for an identity out of range and
    // std::runtime_error for an unusable EEPROM file.
    explicit HardwareModel(const SimulatorOptions& options, RigWiring rig = {});
    HardwareModel(const HardwareModel&) = delete;
    HardwareModel& operator=(const HardwareModel&) = delete;

    // The faults that fire on a count (targeted serial-link faults, the
    // EEPROM's writable bytes) count afresh from now on.
    void restartFaultCounts();

    const SimulatorOptions options;
    const RigWiring rig;
    Faults faults;
    RequestCounters counters;
    Eeprom eeprom;
    ProbeAsic asic;
    EepromController eepromController;
    Headstage headstage;
    SerdesDevice serializer;
    SerdesDevice deserializer;
    UartBridge bridge;
    BasestationRegisters registers;
};

} // namespace tolmaren_sim
