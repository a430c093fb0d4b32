#pragma once

#include <cstdint>

namespace tolmaren_sim {

// What shapes one channel's samples: the electrode it records (from the
// shank chain), its gain codes and standby flag (from the base chain) and the
// basestation's gain correction for it (512 = 1.0).
struct ChannelSetup {
    static constexpr int noElectrode = -1;

    int electrode = noElectrode;
    uint8_t apGain = 0;
    uint8_t lfpGain = 0;
    bool standby = false;
    uint16_t correction = 512;

    bool operator==(const ChannelSetup& other) const {
        return electrode == other.electrode && apGain == other.apGain && lfpGain == other.lfpGain &&
               standby == other.standby && correction == other.correction;
    }
    bool operator!=(const ChannelSetup& other) const { return !(*this == other); }
};

} // namespace tolmaren_sim
