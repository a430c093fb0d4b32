#pragma once

#include <string>
#include <vector>

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_tools {

// The probe's calibration procedures as the front ends run them: each
// sweep's CSV report written in a directory under a temporary name and kept
// only when the sweep succeeds, the signal generator put on the sine that
// the gain calibration and the impedance measurement need, and what they
// found read back from the facade. Each throws StatusError for a failing
// step.
class Calibrations {
public:
    // Told when each sweep starts, with the packets it reads (settling
    // included), and when it ends, for a progress display.
    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void sweepStarted(const std::string& name, double packets) = 0;
        // `report`: the path of the report, kept only when `succeeded`.
        virtual void sweepFinished(bool succeeded, const std::string& report) = 0;
    };

    struct AdcSettings {
        std::vector<adcPairCommon> pairs; // the 16 ADC pairs
        std::vector<adcComp> comparators; // the 32 ADCs
    };

    // Slope, offset and comparator calibration, in this order:
    // adc_slope.csv, adc_offset.csv and adc_comparator.csv.
    static AdcSettings adc(Tolmaren_basestation_api& api, const std::string& dir,
                           Observer* observer);
    // Gain corrections of every electrode (512 = 1.0): gain.csv.
    static std::vector<unsigned short> gain(Tolmaren_basestation_api& api, const std::string& dir,
                                            Observer* observer);
    // Loads the gain corrections stored in the EEPROM for the impedance
    // measurement to start from. Throws ToolError when the EEPROM holds
    // none: every correction 0 (never written) or 16383 (erased), which
    // would call every electrode open.
    static void loadStoredGainCorrections(Tolmaren_basestation_api& api);
    // Impedance of every electrode at 1 kHz in ohms, INT_MAX beyond what an
    // int holds: impedance.csv.
    static std::vector<int> impedance(Tolmaren_basestation_api& api, const std::string& dir,
                                      Observer* observer);
};

} // namespace tolmaren_tools
