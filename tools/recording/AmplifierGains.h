#pragma once

namespace tolmaren_recording {

// Amplifier gain of each 3-bit gain code. The library passes gain codes to
// the probe ASIC untranslated; these factors are the ASIC's as the simulator
// models them (50 for code 0, the gain calibration's reference).
class AmplifierGains {
public:
    static constexpr unsigned int codes = 8;
    // Throws ToolError for a code above 7.
    static double factor(unsigned int code);
};

} // namespace tolmaren_recording
