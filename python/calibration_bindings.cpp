// The calibrations of tolmaren.Basestation: what they find as NumPy arrays,
// their reports as the tool writes them.
#include <pybind11/numpy.h>

#include "Basestation.h"
#include "Bindings.h"
#include "tolmaren_tools/Calibrations.h"

namespace py = pybind11;
using Api = Tolmaren_basestation_api;
using tolmaren_tools::Calibrations;

namespace {

template <typename T, typename Field>
py::array_t<T> column(const std::vector<Field>& records, T (*value)(const Field&)) {
    py::array_t<T> result(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        result.mutable_at(i) = value(records[i]);
    return result;
}

py::dict adcSettings(const Calibrations::AdcSettings& s) {
    py::dict result;
    result["slope"] = column<uint8_t, adcPairCommon>(
        s.pairs, [](const adcPairCommon& p) { return static_cast<uint8_t>(p.slope); });
    result["coarse"] = column<uint8_t, adcPairCommon>(
        s.pairs, [](const adcPairCommon& p) { return static_cast<uint8_t>(p.coarse); });
    result["fine"] = column<uint8_t, adcPairCommon>(
        s.pairs, [](const adcPairCommon& p) { return static_cast<uint8_t>(p.fine); });
    result["code"] = column<uint8_t, adcPairCommon>(s.pairs, [](const adcPairCommon& p) {
        return static_cast<uint8_t>(16 * p.slope + 4 * p.coarse + p.fine);
    });
    result["cfix"] = column<uint8_t, adcPairCommon>(
        s.pairs, [](const adcPairCommon& p) { return static_cast<uint8_t>(p.cfix); });
    result["comp_p"] = column<uint8_t, adcComp>(
        s.comparators, [](const adcComp& c) { return static_cast<uint8_t>(c.compP); });
    result["comp_n"] = column<uint8_t, adcComp>(
        s.comparators, [](const adcComp& c) { return static_cast<uint8_t>(c.compN); });
    return result;
}

template <typename T> py::array_t<T> array(const std::vector<T>& values) {
    return py::array_t<T>(values.size(), values.data());
}

// The calibration stored in the EEPROM, where the tool's --from-eeprom
// starts from, instead of the defaults the open installs.
void loadFromEeprom(Basestation& b, const char* operation, unsigned int (Api::*read)()) {
    b.check(operation, [&](Api& a) { return (a.*read)(); });
}

} // namespace

void bindCalibrations(py::class_<Basestation>& c) {
    c.def(
         "calibrate_adc",
         [](Basestation& b, const std::string& dir) {
             b.changed();
             return adcSettings(b.call([&](Api& a) { return Calibrations::adc(a, dir, nullptr); }));
         },
         py::arg("output_dir") = ".",
         "Runs the ADC slope, offset and comparator calibrations in this order (as `tolmaren "
         "calibrate adc`), writing adc_slope.csv, adc_offset.csv and adc_comparator.csv into "
         "output_dir, and returns what they chose as arrays: per pair (16) 'slope', 'coarse', "
         "'fine', 'code' (16 slope + 4 coarse + fine) and 'cfix'; per ADC (32) 'comp_p' and "
         "'comp_n'. The result is held by the library, not yet on the probe: "
         "store_adc_calibration() keeps it in the EEPROM. Every datapath reset waits for the "
         "stream to pause for a second, so this takes about 25 minutes, and runs to its end "
         "before Ctrl-C takes effect.")
        .def(
            "calibrate_gain",
            [](Basestation& b, const std::string& dir, bool fromEeprom) {
                if (fromEeprom)
                    loadFromEeprom(b, "tolmaren_readADCCalibration",
                                   &Api::tolmaren_readADCCalibration);
                b.changed();
                return array(b.call([&](Api& a) { return Calibrations::gain(a, dir, nullptr); }));
            },
            py::arg("output_dir") = ".", py::arg("from_eeprom") = false,
            "Puts the signal generator on a 1 kHz sine of 10 mV peak to peak, records every "
            "electrode at gain 50 and returns its gain correction (uint16, 512 = 1.0; one per "
            "electrode), writing gain.csv into output_dir, as `tolmaren calibrate gain`. It "
            "starts from the ADC calibration held, or with from_eeprom from the one stored in "
            "the EEPROM. store_gain_corrections() keeps the result in the EEPROM.")
        .def(
            "measure_impedance",
            [](Basestation& b, const std::string& dir, bool fromEeprom) {
                if (fromEeprom) b.call(&Calibrations::loadStoredGainCorrections);
                b.changed();
                return array(
                    b.call([&](Api& a) { return Calibrations::impedance(a, dir, nullptr); }));
            },
            py::arg("output_dir") = ".", py::arg("from_eeprom") = false,
            "Measures every electrode's impedance at 1 kHz with the gain corrections held (or "
            "with from_eeprom those stored in the EEPROM) and returns it in ohms (int32, one per "
            "electrode; 2147483647 for an open electrode or one beyond 2.1 GOhm), writing "
            "impedance.csv into output_dir, as `tolmaren calibrate impedance`.")
        .def(
            "store_adc_calibration",
            [](Basestation& b) {
                b.check("tolmaren_writeADCCalibration",
                        [](Api& a) { return a.tolmaren_writeADCCalibration(); });
            },
            "Writes the ADC calibration held into the headstage's EEPROM.")
        .def(
            "store_gain_corrections",
            [](Basestation& b) {
                b.check("tolmaren_writeGainCorrection",
                        [](Api& a) { return a.tolmaren_writeGainCorrection(); });
            },
            "Writes the gain corrections held into the EEPROM (10 ms a byte: about 20 s for the "
            "960 of a probe of type 2).")
        .def(
            "apply_adc_calibration_from_eeprom",
            [](Basestation& b) {
                b.configure("tolmaren_applyAdcCalibrationFromEeprom",
                            [](Api& a) { return a.tolmaren_applyAdcCalibrationFromEeprom(); });
            },
            "Reads the ADC calibration stored in the EEPROM and writes it to the probe.")
        .def(
            "apply_gain_corrections_from_eeprom",
            [](Basestation& b) {
                b.configure("tolmaren_applyGainCalibrationFromEeprom",
                            [](Api& a) { return a.tolmaren_applyGainCalibrationFromEeprom(); });
            },
            "Reads the gain corrections stored in the EEPROM and has the basestation apply them "
            "to the samples.");
}
