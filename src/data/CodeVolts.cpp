#include "data/CodeVolts.h"

#include "data/VectorClones.h"

namespace {

// The product itself, as the table holds it: it vectorises, where a table
// look-up per sample would gather.
TOLMAREN_VECTOR_CLONES
void multiply(const uint16_t* __restrict codes, std::size_t count, float* __restrict out) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<float>(codes[i] & 0x3FF) * CodeVolts::voltsPerCode;
}

} // namespace

void CodeVolts::toVolts(const uint16_t* codes, std::size_t count, float* out) {
    multiply(codes, count, out);
}
