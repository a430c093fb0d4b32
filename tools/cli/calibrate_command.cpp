// tolmaren calibrate {adc,gain,impedance,all}: runs the probe's calibration
// procedures with a progress bar per sweep, writes their CSV reports, prints
// what they found and with --store keeps it in the headstage's EEPROM.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "api/ElectrodeBanks.h"
#include "cli/Commands.h"
#include "cli/ProbeSession.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"
#include "tolmaren_tools/Calibrations.h"

using tolmaren_recording::StatusWords;
using tolmaren_tools::Calibrations;

namespace {

using Clock = std::chrono::steady_clock;

struct CalibrateOptions {
    std::string outputDir = ".";
    bool store = false;
    bool fromEeprom = false;
};

// One bar per sweep on standard error, redrawn in place; only on a terminal.
class SweepBar {
public:
    SweepBar() : enabled_(isatty(STDERR_FILENO) == 1) {}

    void start(const std::string& name, double packets) {
        name_ = name;
        total_ = packets;
        done_ = 0;
        started_ = Clock::now();
        nextDraw_ = started_;
    }
    void advance() {
        if (!enabled_ || total_ == 0 || ++done_ % 64 != 0) return;
        const auto now = Clock::now();
        if (now < nextDraw_) return;
        nextDraw_ = now + std::chrono::milliseconds(250);
        const double fraction = std::min(1.0, static_cast<double>(done_) / total_);
        const int filled = static_cast<int>(fraction * width);
        std::fprintf(stderr, "\r[%s%s] %3.0f%%  %s  %.0f s   ", std::string(filled, '#').c_str(),
                     std::string(width - filled, '-').c_str(), fraction * 100, name_.c_str(),
                     std::chrono::duration<double>(now - started_).count());
        std::fflush(stderr);
        drawn_ = true;
    }
    void finish() {
        if (drawn_) std::fputc('\n', stderr);
        drawn_ = false;
        total_ = 0;
    }

private:
    static constexpr int width = 30;
    bool enabled_;
    bool drawn_ = false;
    std::string name_;
    double total_ = 0;
    uint64_t done_ = 0;
    Clock::time_point started_;
    Clock::time_point nextDraw_;
};

// The facade as the library has it, but every packet read moves the bar of
// the sweep that runs.
class WatchedApi : public Tolmaren_basestation_api, public Calibrations::Observer {
public:
    void sweepStarted(const std::string& name, double packets) override {
        bar.start(name, packets);
    }
    void sweepFinished(bool succeeded, const std::string& report) override {
        bar.finish();
        if (succeeded) std::printf("report %s\n", report.c_str());
    }
    unsigned int tolmaren_readADCData(AdcPacket& packet) override {
        bar.advance();
        return Tolmaren_basestation_api::tolmaren_readADCData(packet);
    }
    unsigned int tolmaren_readElectrodeData(ElectrodePacket& packet) override {
        bar.advance();
        return Tolmaren_basestation_api::tolmaren_readElectrodeData(packet);
    }

    SweepBar bar;
};

void printAdcTable(const Calibrations::AdcSettings& settings) {
    const std::vector<adcPairCommon>& pairs = settings.pairs;
    const std::vector<adcComp>& comps = settings.comparators;
    std::printf("pair  ADCs      slope coarse fine  code  cfix  compP/compN\n");
    for (unsigned int p = 0; p < pairs.size(); ++p) {
        const unsigned int a = 4 * (p / 2) + p % 2; // first ADC, counted from 0
        const adcPairCommon& pair = pairs[p];
        std::printf("%4u  %2u & %-2u  %5u %6u %4u  %4u  %4u  %5u/%-2u %2u/%u\n", p, a + 1, a + 3,
                    pair.slope, pair.coarse, pair.fine,
                    16u * pair.slope + 4u * pair.coarse + pair.fine, pair.cfix, comps[a].compP,
                    comps[a].compN, comps[a + 2].compP, comps[a + 2].compN);
    }
}

// Minimum, median and maximum, in the unit the scale gives.
template <typename Value>
void printSpread(const char* what, std::vector<Value> values, double scale, const char* unit) {
    if (values.empty()) return;
    std::sort(values.begin(), values.end());
    std::printf("%-18s min %.4g  median %.4g  max %.4g %s (%zu electrodes)\n", what,
                values.front() * scale, values[values.size() / 2] * scale, values.back() * scale,
                unit, values.size());
}

void calibrateAdc(WatchedApi& api, const CalibrateOptions& options) {
    printAdcTable(Calibrations::adc(api, options.outputDir, &api));
    if (options.store) {
        StatusWords::check("tolmaren_writeADCCalibration", api.tolmaren_writeADCCalibration());
        std::printf("stored the ADC calibration in the EEPROM\n");
    }
}

void calibrateGain(WatchedApi& api, const CalibrateOptions& options) {
    const std::vector<unsigned short> corrections =
        Calibrations::gain(api, options.outputDir, &api);
    // The calibration measures no reference electrode (their amplitude in
    // the report is 0) and leaves their corrections as they were.
    const ElectrodeBanks banks(api.tolmaren_getOption());
    std::vector<unsigned short> measured;
    std::string references;
    for (std::size_t e = 0; e < corrections.size(); ++e) {
        if (!ElectrodeBanks::isReferenceChannel(static_cast<unsigned int>(e % banks.channels())))
            measured.push_back(corrections[e]);
        else
            references += " " + std::to_string(e);
    }
    printSpread("gain correction", measured, 1.0 / 512, "");
    if (!references.empty())
        std::printf("not measured (reference electrodes, amplitude 0 in the report, correction "
                    "left as it was):%s\n",
                    references.c_str());
    if (options.store) {
        std::printf("storing %zu gain corrections in the EEPROM (10 ms each)\n",
                    corrections.size());
        StatusWords::check("tolmaren_writeGainCorrection", api.tolmaren_writeGainCorrection());
        std::printf("stored the gain corrections in the EEPROM\n");
    }
}

void measureImpedance(WatchedApi& api, const CalibrateOptions& options) {
    const std::vector<int> impedances = Calibrations::impedance(api, options.outputDir, &api);
    const auto open = std::count(impedances.begin(), impedances.end(), INT_MAX);
    printSpread("impedance at 1 kHz", impedances, 1e-6, "MOhm");
    if (open > 0)
        std::printf("%ld electrodes beyond 2.1 GOhm (open, or not measurable)\n",
                    static_cast<long>(open));
}

enum class What { Adc, Gain, Impedance, All };

void calibrate(const Invocation& invocation, const CalibrateOptions& options, What what) {
    std::error_code error;
    std::filesystem::create_directories(options.outputDir, error);
    if (error)
        throw tolmaren_recording::ToolError("cannot create the directory " + options.outputDir +
                                            ": " + error.message());
    WatchedApi api;
    ProbeSession session(invocation, api);
    // The open installs default calibration; a stored one is what a gain
    // calibration or impedance measurement on its own should start from.
    if (options.fromEeprom && what == What::Gain)
        StatusWords::check("tolmaren_readADCCalibration", api.tolmaren_readADCCalibration());
    if (options.fromEeprom && what == What::Impedance) Calibrations::loadStoredGainCorrections(api);
    if (what == What::Adc || what == What::All) calibrateAdc(api, options);
    if (what == What::Gain || what == What::All) calibrateGain(api, options);
    if (what == What::Impedance || what == What::All) measureImpedance(api, options);
}

} // namespace

void addCalibrateCommand(CLI::App& app, Invocation& invocation) {
    auto options = std::make_shared<CalibrateOptions>();
    CLI::App* group = app.add_subcommand(
        "calibrate", "Calibrate the probe's ADCs or gains, or measure its electrode impedances, "
                     "writing CSV reports; --store keeps the calibration in the EEPROM");
    group->require_subcommand(1);
    const struct {
        const char* name;
        const char* help;
        What what;
    } commands[] = {
        {"adc", "ADC slope, offset and comparator calibration (about 25 minutes)", What::Adc},
        {"gain", "gain calibration with the signal generator's 1 kHz sine (about 32 s a bank)",
         What::Gain},
        {"impedance", "impedance of every electrode at 1 kHz (about 1 s a bank)", What::Impedance},
        {"all", "adc, then gain, then impedance, each using the results before it", What::All},
    };
    for (const auto& c : commands) {
        CLI::App* command = group->add_subcommand(c.name, c.help);
        command->add_option("--output-dir", options->outputDir,
                            "Directory of the CSV reports, created when missing (default: the "
                            "working directory)");
        if (c.what != What::Impedance)
            command->add_flag("--store", options->store,
                              "Store the calibration in the headstage's EEPROM");
        if (c.what == What::Gain || c.what == What::Impedance)
            command->add_flag("--from-eeprom", options->fromEeprom,
                              c.what == What::Gain
                                  ? "Start from the ADC calibration stored in the EEPROM"
                                  : "Use the gain corrections stored in the EEPROM");
        addBasestationOptions(*command, invocation);
        const What what = c.what;
        command->callback([&invocation, options, what] { calibrate(invocation, *options, what); });
    }
}
