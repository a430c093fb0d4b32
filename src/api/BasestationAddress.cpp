#include "api/BasestationAddress.h"

const char* const tolmarenBasestationAddress = TOLMAREN_BASESTATION_ADDRESS;
