#include "api/ElectrodeBanks.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr unsigned int referenceChannels[] = {36, 75, 112, 151, 188, 227, 264, 303, 340, 379};

} // namespace

bool ElectrodeBanks::isReferenceChannel(unsigned int channel) {
    return std::find(std::begin(referenceChannels), std::end(referenceChannels), channel) !=
           std::end(referenceChannels);
}
