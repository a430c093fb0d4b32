#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "api/BasestationAddress.h"
#include "sim/DataOptions.h"
#include "sim/Faults.h"

namespace tolmaren_sim {

// How a simulator is built. The probe identity comes from the options when
// given, else from the EEPROM file when it exists, else serial 0 and type 0.
struct SimulatorOptions {
    std::optional<int> probeType;         // 0 to 3
    std::optional<uint32_t> serialNumber; // 0 to 2^30 - 1
    std::string eepromFile;               // empty: the EEPROM lives in memory only
    uint16_t fpgaVersionMajor = 4;
    uint16_t fpgaVersionMinor = 1;
    uint8_t bsVersion = 2;
    uint8_t bsRevision = 3;
    uint32_t temperatureCode = 2560;  // about 41.8 degrees Celsius
    uint8_t headstageId0 = 0x4E;      // headstage register 0x00
    uint8_t headstageId1 = 0x02;      // headstage register 0x01
    unsigned int memoryTestMs = 1500; // how long the memory test stays busy
    uint64_t seed = 1;                // draws the probe's hidden analogue properties (ProbeTruth)
    std::string address = tolmarenBasestationAddress;
    uint16_t configPort = 1235; // 0 picks a free port (see configPort())
    Faults faults;
    DataOptions data; // the data port
};

} // namespace tolmaren_sim
