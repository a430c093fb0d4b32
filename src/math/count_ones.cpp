#include "math/count_ones.h"

#include <bitset>

unsigned short count_ones(unsigned short value) {
    return static_cast<unsigned short>(std::bitset<16>(value).count());
}
