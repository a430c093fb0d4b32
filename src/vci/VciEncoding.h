#pragma once

#include "vci/VciInterface.h"

// Constants and helpers of the register-access protocol's encoding.
namespace VciEncoding {

// How request words travel; only the 32-bit word encoding is in use.
enum LinkWidth { Width8 = 0, Width32 = 1 };

// The increment flag of a burst request: true exactly for Increment.
bool encodeBurstIncrement(VciInterface::IncrementAddress increment);
// Increment exactly when the flag byte is 1.
VciInterface::IncrementAddress decodeBurstIncrement(unsigned char flag);

} // namespace VciEncoding
