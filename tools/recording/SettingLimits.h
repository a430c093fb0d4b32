#pragma once

#include <string>

namespace tolmaren_recording {

// The ranges of the probe settings that the front ends take from their users,
// checked before anything is written, in one wording for the command-line
// tool and the Python module. Each function returns what is wrong with the
// value, empty when nothing is; require() throws it.
class SettingLimits {
public:
    // AP and LFP gain codes 0 to 7.
    static std::string gainCode(int code);
    // Reference indices 0 to 10.
    static std::string reference(int index);
    // The high-pass filter (the ASIC's BwHp setting): 0, 1 or 3.
    static std::string filter(int setting);
    // Banks 0 to 3, on any probe.
    static std::string bank(int bank);
    // A bank that reaches at least one electrode of a probe of this type:
    // bank 0 only on types 0 and 1, banks 0 to 2 on type 2, 0 to 3 on type 3.
    static std::string bank(int probeType, int bank);
    // Throws SettingError with the problem unless it is empty.
    static void require(const std::string& problem);
};

} // namespace tolmaren_recording
