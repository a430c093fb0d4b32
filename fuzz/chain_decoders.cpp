// The chain decoders: the input's bits (after its first byte) as a base,
// shank or test chain of the probe type the first byte picks, at the chain's
// own length or at the input's. A decode that succeeds encodes back to a chain
// that decodes to the same model.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "config/BaseConfiguration.h"
#include "config/ShankConfiguration.h"
#include "config/TestConfiguration.h"

namespace {

using Chain = std::vector<bool>;

// The input's bits, repeated up to `length` (or as many as it has when
// length is 0), least significant bit of each byte first.
Chain bitsOf(const uint8_t* data, size_t size, size_t length) {
    Chain chain;
    const size_t bits = 8 * size;
    if (length == 0) length = bits;
    for (size_t i = 0; bits > 0 && i < length; ++i)
        chain.push_back((data[i % bits / 8] >> (i % 8)) & 1);
    return chain;
}

template <typename Model> Chain encoded(const Model& model) {
    Chain chain;
    model.getChain(chain);
    return chain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t plan = data[0];
    AsicID id{0, static_cast<int8_t>((plan >> 2) % 4)};
    const bool ownLength = plan & 0x10;
    ++data, --size;
    switch (plan & 3) {
    case 0: {
        BaseConfiguration model(&id);
        Chain chain = bitsOf(data, size, ownLength ? BaseConfiguration::chainLength : 0);
        if (model.getBaseConfigFromChain(chain) != 0 || !ownLength) break;
        Chain again = encoded(model);
        BaseConfiguration copy(&id);
        if (copy.getBaseConfigFromChain(again) != 0 || encoded(copy) != encoded(model))
            std::abort();
        break;
    }
    case 1: {
        ShankConfiguration model(&id);
        const size_t length = id.probeType == 3 ? 968 : 962;
        Chain chain = bitsOf(data, size, ownLength ? length : 0);
        if (model.getShankConfigFromChain(chain) != 0) break;
        Chain again;
        if (model.getChain(again) != 0) std::abort();
        ShankConfiguration copy(&id);
        std::vector<uint8_t> before, after;
        model.getElectrodeConnections(before);
        if (copy.getShankConfigFromChain(again) != 0) std::abort();
        copy.getElectrodeConnections(after);
        if (after != before) std::abort();
        break;
    }
    default: {
        TestConfiguration model;
        Chain chain = bitsOf(data, size, ownLength ? TestConfiguration::chainLength : 0);
        const Chain sent = chain;
        model.getTestConfigFromChain(chain);
        if (sent.size() == TestConfiguration::chainLength && encoded(model) != sent) std::abort();
    }
    }
    return 0;
}
