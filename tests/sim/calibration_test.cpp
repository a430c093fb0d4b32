// The calibrations end to end against the simulator, through the facade of
// the CI sweeps: they find the simulator's hidden truth, leave members,
// flags and probe as they should, travel through the EEPROM, and fail with
// their codes under faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>

#include "common/CalibrationProbe.h"

namespace {

unsigned int slopeCode(const adcPairCommon& pair) {
    return 16u * pair.slope + 4u * pair.coarse + pair.fine;
}

// The slope sweep off the wire at the codes in `offWireCodes`: there the
// serial link and the stream are answered here (registers read 0, the base
// chain reads back as written, every sample is 0 V), so those codes measure
// a slope of 0 (a sum of 2.0) and cannot be chosen. Each code on the wire
// writes the base chain, the generator and the mode anew.
class SlopeSubsetApi : public FastCalibrationApi {
public:
    unsigned int tolmaren_writeUart(unsigned char device, unsigned char reg,
                                    std::vector<unsigned short> values) override {
        return offWire() ? 0 : FastCalibrationApi::tolmaren_writeUart(device, reg, values);
    }
    unsigned int tolmaren_readUart(unsigned char device, unsigned char reg,
                                   std::vector<unsigned char>& bytes) override {
        if (!offWire()) return FastCalibrationApi::tolmaren_readUart(device, reg, bytes);
        std::vector<bool> chain;
        if (reg == 0x52) baseConfiguration.getChain(chain);
        std::fill(bytes.begin(), bytes.end(), 0);
        for (std::size_t i = 0; i < chain.size(); ++i)
            bytes.at(i / 8) = static_cast<unsigned char>(bytes[i / 8] | chain[i] << (i % 8));
        return 0;
    }
    unsigned int tolmaren_flushData() override {
        return offWire() ? 0 : FastCalibrationApi::tolmaren_flushData();
    }
    unsigned int tolmaren_readADCData(AdcPacket& packet) override {
        if (!offWire()) return FastCalibrationApi::tolmaren_readADCData(packet);
        packet = AdcPacket();
        return 0;
    }

    std::set<unsigned int> offWireCodes;

private:
    bool offWire() const {
        AdditionalSettings settings;
        baseConfiguration.getAdditionalSettings(settings);
        const unsigned int code = slopeCode(baseConfiguration.getAdcCalibrationCommon()[0]);
        return settings.SarCal && offWireCodes.count(code) != 0;
    }
};

// The ADC settings in the probe's base chain, decoded by the model.
BaseConfiguration probeChain(const tolmaren_sim::BasestationSimulator& sim) {
    BaseConfiguration model(nullptr);
    std::vector<bool> chain = sim.chain(0);
    model.getBaseConfigFromChain(chain);
    return model;
}

template <typename T> std::string bytes(const std::vector<T>& v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

} // namespace

TEST(Calibration, AdcCalibrationsFindTheTruthAndTravelThroughTheEeprom) {
    CalibrationProbe<SlopeSubsetApi> probe(0); // no shank chain: only the base chain is faked
    auto& api = probe.api;
    const auto& truth = probe.sim.truth();
    for (unsigned int c = 0; c < 128; ++c)
        api.offWireCodes.insert(c);
    ASSERT_EQ(api.tolmaren_ADCSlopeCalibration("slope.csv"), 9u); // no code has a slope
    EXPECT_EQ(slopeCode(api.adcPairCommonCalibration_[1]), 0u);   // the open's, kept
    // On the wire at the optimum of pairs 0 and 1 and its neighbours.
    for (unsigned int p = 0; p < 2; ++p)
        for (int step = -1; step <= 1; ++step)
            api.offWireCodes.erase(truth.pairs[p].slopeCode + step);
    api.adcSlopeCalibrationRun_ = false;
    ASSERT_EQ(api.tolmaren_ADCSlopeCalibration("slope.csv"), 0u);
    api.offWireCodes.clear();
    EXPECT_TRUE(api.adcSlopeCalibrationRun_);
    EXPECT_EQ(slopeCode(api.adcPairCommonCalibration_[0]), truth.pairs[0].slopeCode);
    const std::string log = probe.dir.readFile("api_log.txt");
    for (const char* line :
         {"successfully executed  tolmaren_calibrationStartupConfiguration()\n",
          "Slopecal to 0in base configuration register\ntolmaren_generateDC(150)",
          "Slopecal to 7fin base configuration register\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    ASSERT_EQ(api.tolmaren_ADCOffsetCalibration("offset.csv"), 0u);
    const std::string offsetReport = probe.dir.readFile("offset.csv");
    EXPECT_EQ(std::count(offsetReport.begin(), offsetReport.end(), '\n'), 5);
    EXPECT_NE(offsetReport.find(",\nCfix,"), std::string::npos);
    EXPECT_NE(offsetReport.find(",\n\n,ADC 1,ADC 2,"), std::string::npos);
    EXPECT_NE(offsetReport.find(",\nADC output,0."), std::string::npos);
    EXPECT_EQ(probeChain(probe.sim).getAdcCalibrationCommon()[7].cfix, 15); // the last tried
    ASSERT_EQ(api.tolmaren_comparatorCalibration("comparator.csv"), 0u);
    EXPECT_EQ(probe.sim.asicMode(), 0);
    EXPECT_EQ(probeChain(probe.sim).getAdcCalibrationComp()[31].compN, 1);

    // Stored and applied after a new open, the probe's chain holds the truth.
    ASSERT_EQ(api.tolmaren_writeADCCalibration(), 0u);
    api.tolmaren_close();
    ASSERT_EQ(api.tolmaren_open(0), 0u);
    ASSERT_EQ(api.tolmaren_applyAdcCalibrationFromEeprom(), 0u);
    const BaseConfiguration applied = probeChain(probe.sim);
    EXPECT_EQ(slopeCode(applied.getAdcCalibrationCommon()[1]), truth.pairs[1].slopeCode);
    for (unsigned int p = 0; p < 16; ++p)
        EXPECT_EQ(applied.getAdcCalibrationCommon()[p].cfix, truth.pairs[p].cfix) << p;
    for (unsigned int a = 0; a < 32; ++a) {
        EXPECT_EQ(applied.getAdcCalibrationComp()[a].compP, truth.adcs[a].comparatorT) << a;
        EXPECT_EQ(applied.getAdcCalibrationComp()[a].compN, 32 - truth.adcs[a].comparatorT) << a;
    }
}

// Type 1: one bank, a bath 2.1 times weaker; type 3: banks of 276, 276,
// 276 and 138 channels.
TEST(Calibration, GainCorrectionsAndImpedancesMatchEveryElectrode) {
    for (const int type : {1, 3}) {
        CalibrationProbe<> probe(type);
        auto& api = probe.api;
        const auto& truth = probe.sim.truth();
        ASSERT_EQ(api.tolmaren_generateSine(10, false, 9), 0u);
        ASSERT_EQ(api.tolmaren_gainCalibration("gain.csv"), 0u);
        ASSERT_EQ(api.tolmaren_impedanceMeasurement("impedance.csv"), 0u);
        EXPECT_NE(probe.dir.readFile("gain.csv").find(",\nSignal amplitude,0."), std::string::npos);
        const std::string impedanceFile = probe.dir.readFile("impedance.csv");
        EXPECT_EQ(impedanceFile.find(",Electrode 1,Electrode 2,"), 0u);
        EXPECT_NE(impedanceFile.find(",\nImpedance,"), std::string::npos);
        EXPECT_EQ(probe.sim.asicMode(), 2);
        std::vector<unsigned short> unit; // what the basestation keeps
        ASSERT_EQ(api.tolmaren_getGainCorrection(unit), 0u);
        EXPECT_EQ(unit, std::vector<unsigned short>(truth.impedance.size(), 512));
        std::vector<int> impedances;
        ASSERT_EQ(api.tolmaren_getImpedanceMeasurement(impedances), 0u);
        ASSERT_EQ(impedances.size(), truth.impedance.size());
        for (std::size_t j = 0; j < truth.impedance.size(); ++j) {
            EXPECT_NEAR(api.gainCorrectionCalibration_.at(j) / 512.0 * truth.electrodeGain[j], 1,
                        0.01)
                << type << " " << j;
            EXPECT_NEAR(impedances[j] / truth.impedance[j], 1, 0.1) << type << " " << j;
        }
    }
}

TEST(Calibration, EveryFaultEndsAProcedureWithItsCodeAndChangesNoMember) {
    CalibrationProbe<> probe(2);
    auto& api = probe.api;
    // First what the generator's registers take: level "600" is code 11960.
    ASSERT_EQ(api.tolmaren_generateDC("600") + api.tolmaren_generateSine(5, true, 3), 0u);
    EXPECT_EQ(
        std::vector<int>({probe.sim.headstageRegister(0x40), probe.sim.headstageRegister(0x41),
                          probe.sim.headstageRegister(0x42), probe.sim.headstageRegister(0x43)}),
        std::vector<int>({0x39, 0x2E, 0xB8, 5}));
    int amplitude = 0, frequency = 0;
    bool tenMillivolts = false;
    std::string level;
    DacControlStatusCode status = DacControlStatusCode::Off;
    ASSERT_EQ(api.tolmaren_getDacControl(amplitude, frequency, tenMillivolts, level, status), 0u);
    EXPECT_EQ(std::make_tuple(amplitude, frequency, tenMillivolts, level, status),
              std::make_tuple(5, 3, true, std::string("600"), DacControlStatusCode::SineOutput));
    using Call = std::function<unsigned int()>;
    using tolmaren_sim::UartFault;
    const std::pair<std::string, Call> procedures[] = {
        {"slope", [&] { return api.tolmaren_ADCSlopeCalibration("r.csv"); }},
        {"offset", [&] { return api.tolmaren_ADCOffsetCalibration("r.csv"); }},
        {"comparator", [&] { return api.tolmaren_comparatorCalibration("r.csv"); }},
        {"gain", [&] { return api.tolmaren_gainCalibration("r.csv"); }},
        {"impedance", [&] { return api.tolmaren_impedanceMeasurement("r.csv"); }}};
    const Call dc = [&] { return api.tolmaren_generateDC("600"); };
    const Call dc601 = [&] { return api.tolmaren_generateDC("601"); };
    const Call sine = [&] { return api.tolmaren_generateSine(10, false, 9); };
    const Call sine16 = [&] { return api.tolmaren_generateSine(16, false, 0); };
    const Call sine12 = [&] { return api.tolmaren_generateSine(0, false, 12); };
    const Call dacControl = [&] {
        return api.tolmaren_getDacControl(amplitude, frequency, tenMillivolts, level, status);
    };
    const Call pair16 = [&] { return api.tolmaren_ADCCalibration(16, 0, 0, 0, 0, 0, 0, 0, 0); };
    const Call compP32 = [&] { return api.tolmaren_ADCCalibration(5, 32, 0, 0, 0, 0, 0, 0, 0); };
    const Call byHand = [&] { return api.tolmaren_ADCCalibration(5, 1, 2, 3, 4, 5, 2, 3, 7); };
    const std::function<void()> noLevel = [&] { api.tolmaren_headstageWriteRegister(0x41, 0xFF); };
    const UartFault modeRead{0x40, 0x11, true}, chainSelect{0x40, 0x50, false},
        generatorRead{0x40, 0x40, true};
    struct Case {
        std::string name;
        Call call;
        std::vector<UartFault> uart;
        std::function<void()> setUp;
        unsigned int code;
    };
    // clang-format off
    std::vector<Case> cases = {
        {"DC read", dc, {generatorRead}, {}, 1},
        {"DC write", dc, {{0x40, 0x41, false}}, {}, 2},
        {"DC 601", dc601, {}, {}, 3},
        {"sine read", sine, {generatorRead}, {}, 1},
        {"sine write", sine, {{0x40, 0x43, false}}, {}, 2},
        {"sine 16", sine16, {}, {}, 3},
        {"sine 12", sine12, {}, {}, 3},
        {"DAC read", dacControl, {{0x40, 0x43, true}}, {}, 1},
        {"DAC no level", dacControl, {}, noLevel, 1},
        {"pair 16", pair16, {}, {}, 1},
        {"compP 32", compP32, {}, {}, 3},
        {"by hand chain", byHand, {chainSelect}, {}, 4},
    };
    // Calibration state a procedure refuses: a flag not set, a stored value
    // out of its range.
    const std::tuple<std::size_t, std::function<void()>, unsigned int> states[] = {
        {1, [&] { api.adcSlopeCalibrationRun_ = false; }, 8},
        {1, [&] { api.adcPairCommonCalibration_[3].slope = 9; }, 2},
        {2, [&] { api.adcOffsetCalibrationRun_ = false; }, 8},
        {2, [&] { api.adcPairCommonCalibration_[0].cfix = 16; }, 2},
        {3, [&] { api.comparatorCalibrationRun_ = false; }, 8},
        {3, [&] { api.adcCompCalibration_[9].compP = 32; }, 2},
        {4, [&] { api.gainCalibrationRun_ = false; }, 8},
    };
    // clang-format on
    for (const auto& [i, setUp, code] : states)
        cases.push_back({procedures[i].first + " state", procedures[i].second, {}, setUp, code});
    // Every procedure meets the ASIC mode, a chain and the stream; the ADC
    // calibrations the generator too.
    for (std::size_t i = 0; i < 5; ++i) {
        const auto& [name, call] = procedures[i];
        cases.push_back({name + " mode", call, {modeRead}, {}, 1});
        cases.push_back({name + " chain", call, {chainSelect}, {}, 3});
        cases.push_back({name + " stream", call, {}, [&] { api.streamLost = true; }, 6});
        if (i < 3) cases.push_back({name + " generator", call, {generatorRead}, {}, 5});
    }
    const auto pairs = api.adcPairCommonCalibration_;
    const auto comps = api.adcCompCalibration_;
    const auto gains = api.gainCorrectionCalibration_;
    const auto members = [&] {
        return bytes(api.adcPairCommonCalibration_) + bytes(api.adcCompCalibration_) +
               bytes(api.gainCorrectionCalibration_) + bytes(api.impedanceMeasurement_) +
               std::string{api.adcSlopeCalibrationRun_, api.adcOffsetCalibrationRun_,
                           api.comparatorCalibrationRun_, api.gainCalibrationRun_};
    };
    for (const Case& c : cases) {
        if (c.setUp) c.setUp();
        const std::string before = members();
        tolmaren_sim::Faults faults;
        for (UartFault fault : c.uart) {
            fault.failure = tolmaren_sim::UartFailure::Refused;
            faults.uartFaults.push_back(fault);
        }
        probe.sim.setFaults(faults);
        EXPECT_EQ(c.call(), c.code) << c.name;
        EXPECT_EQ(members(), before) << c.name;
        // Back to the open's calibration; each procedure sets the probe up.
        probe.sim.setFaults({});
        api.streamLost = false;
        api.adcPairCommonCalibration_ = pairs;
        api.adcCompCalibration_ = comps;
        api.gainCorrectionCalibration_ = gains;
        api.adcSlopeCalibrationRun_ = api.adcOffsetCalibrationRun_ = true;
        api.comparatorCalibrationRun_ = api.gainCalibrationRun_ = true;
    }
}
