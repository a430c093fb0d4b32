// The probe's analogue models end to end, seen through the stream as the
// calibrations see them: the facade configures over the configuration link
// and reads the data link of the simulator on the fixed ports (port lock).
// Expected values follow the models documented in sim/README.md, with the
// simulator's hidden properties (its truth) as their parameters.
#include <gtest/gtest.h>

#include <bitset>
#include <cmath>
#include <vector>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"
#include "data/TolmarenDataConnectionLink.h"
#include "sim/BasestationSimulator.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double voltsPerCode = 1.2 / 1023;

class AnalogueApi : public Tolmaren_basestation_api {
public:
    // A new data connection: the simulator streams the settings of now.
    void restartStream() {
        delete dataLink_;
        dataLink_ = nullptr;
        dataLink_ = new TolmarenDataConnectionLink(tolmarenBasestationAddress, 1234);
    }
    void setProbeType(int8_t type) { asicId_.probeType = type; }
};

class SimulatorAnalogue : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        api.setProbeType(2);
        ASSERT_EQ(api.setupConfigLink(), 0u);
        api.restartStream();
    }
    static tolmaren_sim::SimulatorOptions options() {
        tolmaren_sim::SimulatorOptions o;
        o.probeType = 2;
        o.data.pacing = tolmaren_sim::DataPacing::Fast;
        return o;
    }
    // Generator registers 0x40 (control), 0x41/0x42 (DC code), 0x43 (amplitude).
    void generate(uint8_t control, uint16_t dcCode, uint8_t amplitude) {
        const uint8_t values[] = {control, uint8_t(dcCode >> 8), uint8_t(dcCode), amplitude};
        for (uint8_t r = 0; r < 4; ++r)
            ASSERT_EQ(api.tolmaren_headstageWriteRegister(uint8_t(0x40 + r), values[r]), 0u);
    }
    void configure(unsigned char mode, bool electrodeData) {
        ASSERT_EQ(api.tolmaren_writeBaseRegister(true), 0u);
        ASSERT_EQ(api.tolmaren_writeTestRegister(), 0u);
        ASSERT_EQ(api.tolmaren_mode(mode), 0u);
        ASSERT_EQ(api.tolmaren_datamode(electrodeData), 0u);
    }
    // Codes of each ADC over a fresh stream.
    std::vector<std::vector<int>> adcCodes(unsigned int packets) {
        api.restartStream();
        std::vector<std::vector<int>> codes(32);
        AdcPacket packet;
        for (unsigned int p = 0; p < packets; ++p) {
            EXPECT_EQ(api.tolmaren_readADCData(packet), 0u);
            for (const auto& record : packet.records)
                for (unsigned int a = 0; a < 32; ++a)
                    codes[a].push_back(int(std::lround(record.adcData[a] / voltsPerCode)));
        }
        return codes;
    }
    // Peak amplitude (volts) of a channel's 1 kHz component over a fresh
    // stream, from whole periods (30 AP samples each).
    double amplitudeAt1kHz(unsigned int channel, unsigned int packets) {
        api.restartStream();
        double s = 0, c = 0;
        ElectrodePacket packet;
        for (unsigned int p = 0; p < packets; ++p) {
            EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
            for (unsigned int b = 0; b < 12; ++b) {
                const double phase = 2 * pi * ((12 * p + b) % 30) / 30;
                s += packet.apData[b][channel] * std::sin(phase);
                c += packet.apData[b][channel] * std::cos(phase);
            }
        }
        return 2 * std::hypot(s, c) / (12.0 * packets);
    }

    tolmaren_sim::BasestationSimulator sim{options()};
    const tolmaren_sim::ProbeTruth& truth = sim.truth();
    AnalogueApi api;
};

} // namespace

TEST_F(SimulatorAnalogue, AdcsConvertTheGeneratorLevelWithTheirPairsSlopeCodeAndCfix) {
    // DC codes of the levels "200", "600" and "1000" and their volts.
    const struct {
        uint16_t code;
        double volts;
    } levels[] = {{3933, 0.2}, {11960, 0.6}, {19969, 1.0}};
    for (const int slopeStep : {0, -12}) {
        const int cfixStep = slopeStep == 0 ? 0 : 2;
        for (uint8_t p = 0; p < 16; ++p) {
            const int code = truth.pairs[p].slopeCode + slopeStep;
            ASSERT_EQ(
                api.baseConfiguration.setAdcPairSlope(p, code >> 4, (code >> 2) & 3, code & 3), 0u);
            ASSERT_EQ(api.baseConfiguration.setAdcPairCfix(p, truth.pairs[p].cfix + cfixStep), 0u);
        }
        api.baseConfiguration.setAdditionalSettingSarCal(true);
        configure(1, false);
        for (const auto& level : levels) {
            generate(0x01, level.code, 0); // DC output, channel A
            const auto codes = adcCodes(8);
            for (unsigned int a = 0; a < 32; ++a) {
                const auto& pair = truth.pairs[2 * (a / 4) + a % 2];
                const double gain = 1 + pair.gainPerCode * slopeStep + truth.adcs[a].gainResidual;
                const double offset = pair.voltsPerCfix * cfixStep + truth.adcs[a].offsetResidual;
                double mean = 0;
                for (int c : codes[a])
                    mean += double(c) / codes[a].size();
                EXPECT_NEAR(mean, (0.6 + gain * (level.volts - 0.6) + offset) / voltsPerCode, 0.3)
                    << "ADC " << a << " slope step " << slopeStep << " at " << level.volts << " V";
            }
        }
    }
}

TEST_F(SimulatorAnalogue, ComparatorSettingsShiftTheShareOfOnesAroundEachAdcsOptimum) {
    api.baseConfiguration.setAdditionalSettingTestOn(true);
    api.testConfiguration.settings12to15[1] = true; // setting 13
    api.testConfiguration.settings12to15[3] = true; // setting 15
    for (const int step : {0, 2, -3}) {
        for (uint8_t a = 0; a < 32; ++a) {
            const int t = truth.adcs[a].comparatorT + step;
            ASSERT_EQ(api.baseConfiguration.setAdcCompP(a, t), 0u);
            ASSERT_EQ(api.baseConfiguration.setAdcCompN(a, 32 - t), 0u);
        }
        configure(1, false);
        const auto codes = adcCodes(400);
        for (unsigned int a = 0; a < 32; ++a) {
            double ones = 0;
            for (int c : codes[a])
                ones += std::bitset<16>(c).count();
            const int t = truth.adcs[a].comparatorT + step;
            const double trim = (2 * t - 32) - truth.adcs[a].comparatorOffset;
            EXPECT_NEAR(ones / (10.0 * codes[a].size()), 1 / (1 + std::exp(-trim / 4)), 0.012)
                << "ADC " << a << " step " << step;
        }
    }
}

TEST_F(SimulatorAnalogue, ElectrodesSeeTheGeneratorSineScaledByGainCodeAndGainFactor) {
    // Channel 5 on bank 1 (electrode 389), 7 on bank 0, 36 on the reference
    // electrode 36.
    const struct {
        unsigned int channel, bank, electrode;
    } probes[] = {{5, 1, 389}, {7, 0, 7}, {36, 0, 36}};
    for (const auto& p : probes)
        ASSERT_EQ(api.shankConfiguration.setElectrodeConnection(p.channel, uint8_t(p.bank)), 0u);
    ASSERT_EQ(api.tolmaren_writeShankRegister(true), 0u);
    // Gain codes 0 (50) and 1 (125) with 10 and 4 mV peak to peak at 1 kHz.
    const struct {
        uint8_t gainCode;
        double gain;
        uint8_t amplitude;
    } rows[] = {{0, 50, 10}, {1, 125, 4}};
    for (const auto& row : rows) {
        ASSERT_EQ(api.baseConfiguration.setAllAPGains(row.gainCode), 0u);
        configure(3, true);
        generate(0x95, 0, row.amplitude); // sine, 1 mV steps, 1 kHz, channel A
        for (const auto& p : probes) {
            const double expected = p.electrode == 36 ? 0
                                                      : row.amplitude * 0.5e-3 * row.gain *
                                                            truth.electrodeGain[p.electrode];
            EXPECT_NEAR(amplitudeAt1kHz(p.channel, 10), expected, 0.004 * expected + 2e-3)
                << "channel " << p.channel << " gain code " << int(row.gainCode);
        }
    }
}

TEST_F(SimulatorAnalogue, ImpedanceModeAmplitudeFollowsTheElectrodesImpedance) {
    ASSERT_EQ(api.shankConfiguration.setElectrodeConnection(7, 1), 0u); // electrode 391
    ASSERT_EQ(api.tolmaren_writeShankRegister(true), 0u);
    configure(2, true);
    generate(0x95, 0, 10); // 5 mV peak at 1 kHz: a test current of 0.45 nA
    const double admittance = 1 / truth.impedance[391] + 2 * pi * 1000 * 0.7e-12;
    const double expected = 0.45e-9 / admittance / truth.electrodeGain[391];
    EXPECT_NEAR(amplitudeAt1kHz(7, 250), expected, 0.02 * expected);
}
