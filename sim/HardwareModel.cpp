#include "sim/HardwareModel.h"

#include <stdexcept>
#include <utility>

namespace tolmaren_sim {

namespace {

uint32_t storedIdentity(const Eeprom& eeprom) {
    uint32_t packed = 0;
    for (unsigned int k = 0; k < 4; ++k)
        packed |= static_cast<uint32_t>(eeprom.read(k)) << (8 * k);
    return packed;
}

// The probe's type: from the options, else from an existing EEPROM file.
int probeTypeOf(const SimulatorOptions& options, const Eeprom& eeprom) {
    if (options.probeType) {
        if (*options.probeType < 0 || *options.probeType > 3)
            throw std::invalid_argument("probe type must be 0 to 3");
        return *options.probeType;
    }
    return eeprom.loadedFromFile() ? static_cast<int>(storedIdentity(eeprom) >> 30) : 0;
}

// Writes the identity into EEPROM bytes 0 to 3 unless it is already there.
void storeIdentity(const SimulatorOptions& options, Eeprom& eeprom, int probeType) {
    uint32_t serial = eeprom.loadedFromFile() ? storedIdentity(eeprom) & 0x3FFFFFFF : 0;
    if (options.serialNumber) {
        if (*options.serialNumber > 0x3FFFFFFF)
            throw std::invalid_argument("serial number must be below 2^30");
        serial = *options.serialNumber;
    }
    const uint32_t packed = serial | (static_cast<uint32_t>(probeType) << 30);
    if (eeprom.loadedFromFile() && storedIdentity(eeprom) == packed) return;
    for (unsigned int k = 0; k < 4; ++k) {
        if (!eeprom.write(k, static_cast<uint8_t>(packed >> (8 * k))))
            throw std::runtime_error("cannot write EEPROM file " + eeprom.file());
    }
}

Eeprom makeEeprom(const SimulatorOptions& options) {
    Eeprom eeprom(options.eepromFile);
    storeIdentity(options, eeprom, probeTypeOf(options, eeprom));
    return eeprom;
}

} // namespace

HardwareModel::HardwareModel(const SimulatorOptions& opts, RigWiring rigWiring)
    : options(opts), rig(std::move(rigWiring)), faults(opts.faults), eeprom(makeEeprom(opts)),
      asic(static_cast<int>(storedIdentity(eeprom) >> 30), faults),
      eepromController(eeprom, faults),
      headstage(asic, eepromController, faults, opts.headstageId0, opts.headstageId1),
      serializer(faults, false, &deserializer), deserializer(faults, true),
      bridge(headstage, serializer, deserializer, faults),
      registers(options, bridge, headstage, faults, rig.signals->line) {}

void HardwareModel::restartFaultCounts() {
    bridge.restartFaultCounts();
    eepromController.restartFaultCounts();
}

} // namespace tolmaren_sim
