#include "vci/VciEncoding.h"

namespace VciEncoding {

bool encodeBurstIncrement(VciInterface::IncrementAddress increment) {
    return increment == VciInterface::Increment;
}

VciInterface::IncrementAddress decodeBurstIncrement(unsigned char flag) {
    return flag == 1 ? VciInterface::Increment : VciInterface::NoIncrement;
}

} // namespace VciEncoding
