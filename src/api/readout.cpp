#include "api/Tolmaren_basestation_api.h"

// The data read-out joins with the packet decoder; until then every read
// answers with the guard code of an unconnected facade.
unsigned int Tolmaren_basestation_api::tolmaren_readElectrodeData(ElectrodePacket&) { return 1; }
unsigned int Tolmaren_basestation_api::tolmaren_readADCData(AdcPacket&) { return 1; }
unsigned int Tolmaren_basestation_api::tolmaren_flushData() { return 1; }
unsigned int Tolmaren_basestation_api::skipAdcData(unsigned int) { return 1; }
unsigned int Tolmaren_basestation_api::skipElectrodeData(unsigned int) { return 1; }
