#include "data/CodeVolts.h"

#include "data/VectorClones.h"

TOLMAREN_VECTOR_CLONES
void CodeVolts::toVolts(const uint16_t* codes, std::size_t count, float* out) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = table.volts[codes[i] & 0x3FF];
}
