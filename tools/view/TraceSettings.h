#pragma once

#include <cstdint>
#include <vector>

namespace tolmaren_view {

// What one page shows of the AP band: which channels, how many samples go
// into one drawn column (the bin), and which filters apply.
struct TraceSettings {
    static constexpr unsigned int maxChannels = 32;
    // Bins across one window of the page's time axis.
    static constexpr unsigned int binsPerWindow = 600;

    std::vector<uint16_t> channels; // 1 to maxChannels stream channels
    unsigned int binSamples = 50;   // 1 s across the window
    // A first-order high-pass at highPassHz.
    bool highPass = false;
    // The mean over the channels in use, sample by sample, taken off.
    bool commonAverage = false;

    static constexpr double highPassHz = 300;
};

} // namespace tolmaren_view
