#include "data/CodeVolts.h"

#include "data/VectorClones.h"

// The product itself, as the table holds it: it vectorises, where a table
// look-up per sample would gather.
TOLMAREN_VECTOR_CLONES
void CodeVolts::toVolts(const uint16_t* codes, std::size_t count, float* out) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<float>(codes[i] & 0x3FF) * voltsPerCode;
}
