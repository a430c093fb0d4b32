#pragma once

#include <cstdint>

namespace tolmaren_recording {

// Which electrode a channel records, by probe type. The stream always
// carries 384 channels. Types 0 and 1 have one bank: channel c records
// electrode c. Type 2 has 960 electrodes, electrode 384 b + c in bank b;
// type 3 has 966, electrode 276 b + c, and channels 276 to 383 unused.
class ProbeLayout {
public:
    static constexpr unsigned int streamChannels = 384;
    static constexpr int noBank = -1;

    static unsigned int channelsInUse(int probeType);
    static unsigned int electrodeCount(int probeType);
    // The electrode of channel c connected to `bank` (0 for types 0 and 1),
    // or -1 when the channel records none.
    static int electrode(int probeType, unsigned int channel, int bank);
};

} // namespace tolmaren_recording
