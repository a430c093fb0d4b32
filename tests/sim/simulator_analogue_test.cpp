// The probe's analogue models end to end, seen through the stream as the
// calibrations see them: the facade configures over the configuration link
// and reads the data link of the simulator on the fixed ports (port lock).
// Expected values follow the models documented in sim/README.md, with the
// simulator's hidden properties (its truth) as their parameters.
#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <cmath>
#include <complex>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"
#include "data/TolmarenDataConnectionLink.h"
#include "sim/BasestationSimulator.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double voltsPerCode = 1.2 / 1023;

class AnalogueApi : public Tolmaren_basestation_api {
public:
    AnalogueApi() { asicId_.probeType = 2; }
    // A new data connection: the simulator streams the settings of now.
    void restartStream() {
        delete dataLink_;
        dataLink_ = nullptr;
        dataLink_ = new TolmarenDataConnectionLink(tolmarenBasestationAddress, 1234);
    }
};

class SimulatorAnalogue : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        ASSERT_EQ(api.setupConfigLink(), 0u);
    }
    // Writes the chains, the mode, the data mode and the generator registers
    // 0x40 (control), 0x41/0x42 (DC code) and 0x43 (amplitude).
    void configure(unsigned char mode, bool electrodeData, uint8_t control, uint16_t dcCode,
                   uint8_t amplitude) {
        ASSERT_EQ(api.tolmaren_writeBaseRegister(true) + api.tolmaren_writeTestRegister() +
                      api.tolmaren_mode(mode) + api.tolmaren_datamode(electrodeData),
                  0u);
        const uint8_t values[] = {control, uint8_t(dcCode >> 8), uint8_t(dcCode), amplitude};
        for (uint8_t r = 0; r < 4; ++r)
            ASSERT_EQ(api.tolmaren_headstageWriteRegister(uint8_t(0x40 + r), values[r]), 0u);
        api.restartStream();
    }
    // The mean over the packets of f(code) for each ADC.
    template <typename F> std::array<double, 32> adcMeans(unsigned int packets, F f) {
        std::array<double, 32> means{};
        AdcPacket packet;
        for (unsigned int p = 0; p < packets; ++p) {
            EXPECT_EQ(api.tolmaren_readADCData(packet), 0u);
            for (const auto& record : packet.records)
                for (unsigned int a = 0; a < 32; ++a)
                    means[a] +=
                        f(int(std::lround(record.adcData[a] / voltsPerCode))) / (13.0 * packets);
        }
        return means;
    }
    // Each channel's 1 kHz component (its magnitude is the peak amplitude in
    // volts), from whole periods of 30 AP samples.
    std::array<std::complex<double>, 384> components1kHz(unsigned int packets) {
        std::array<std::complex<double>, 384> sums{};
        ElectrodePacket packet;
        for (unsigned int p = 0; p < packets; ++p) {
            EXPECT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
            for (unsigned int b = 0; b < 12; ++b)
                for (unsigned int c = 0; c < 384; ++c)
                    sums[c] += std::polar(packet.apData[b][c] / (6.0 * packets),
                                          pi * ((12 * p + b) % 30) / 15);
        }
        return sums;
    }

    tolmaren_sim::BasestationSimulator sim{[] {
        tolmaren_sim::SimulatorOptions o;
        o.probeType = 2;
        o.data.pacing = tolmaren_sim::DataPacing::Fast;
        return o;
    }()};
    const tolmaren_sim::ProbeTruth& truth = sim.truth();
    AnalogueApi api;
};

} // namespace

TEST_F(SimulatorAnalogue, AdcsConvertTheGeneratorLevelWithTheirPairsSlopeCodeAndCfix) {
    // DC codes of the levels "200", "600" and "1000" and their volts.
    const double levels[][2] = {{3933, 0.2}, {11960, 0.6}, {19969, 1.0}};
    // Steps from the optimal slope code and cfix.
    const int rows[][2] = {{0, 0}, {-12, 2}};
    api.baseConfiguration.setAdditionalSettingSarCal(true);
    for (const auto& [slopeStep, cfixStep] : rows) {
        for (uint8_t p = 0; p < 16; ++p) {
            const int code = truth.pairs[p].slopeCode + slopeStep;
            ASSERT_EQ(
                api.baseConfiguration.setAdcPairSlope(p, code >> 4, (code >> 2) & 3, code & 3) +
                    api.baseConfiguration.setAdcPairCfix(p, truth.pairs[p].cfix + cfixStep),
                0u);
        }
        for (const auto& [code, volts] : levels) {
            configure(1, false, 0x01, uint16_t(code), 0); // DC output, channel A
            const auto means = adcMeans(8, [](int code) { return code; });
            for (unsigned int a = 0; a < 32; ++a) {
                const auto& pair = truth.pairs[2 * (a / 4) + a % 2];
                const double gain = 1 + pair.gainPerCode * slopeStep + truth.adcs[a].gainResidual;
                const double offset = pair.voltsPerCfix * cfixStep + truth.adcs[a].offsetResidual;
                EXPECT_NEAR(means[a], (0.6 + gain * (volts - 0.6) + offset) / voltsPerCode, 0.3)
                    << "ADC " << a << " slope step " << slopeStep << " at " << volts << " V";
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
            ASSERT_EQ(api.baseConfiguration.setAdcCompP(a, t) +
                          api.baseConfiguration.setAdcCompN(a, 32 - t),
                      0u);
        }
        configure(1, false, 0x01, 11960, 0);
        const auto shares =
            adcMeans(400, [](int code) { return std::bitset<16>(code).count() / 10.0; });
        for (unsigned int a = 0; a < 32; ++a) {
            const int t = truth.adcs[a].comparatorT + step;
            const double trim = (2 * t - 32) - truth.adcs[a].comparatorOffset;
            EXPECT_NEAR(shares[a], 1 / (1 + std::exp(-trim / 4)), 0.012)
                << "ADC " << a << " step " << step;
        }
    }
}

TEST_F(SimulatorAnalogue, ElectrodesSeeTheGeneratorSineScaledByGainCodeAndGainFactor) {
    // Channel 5 on bank 1 (electrode 389), 7 on bank 0, 36 on the reference
    // electrode 36.
    const unsigned int probes[][3] = {{5, 1, 389}, {7, 0, 7}, {36, 0, 36}};
    for (const auto& [channel, bank, electrode] : probes)
        ASSERT_EQ(api.shankConfiguration.setElectrodeConnection(channel, uint8_t(bank)), 0u);
    ASSERT_EQ(api.tolmaren_writeShankRegister(true), 0u);
    // Gain codes 0 (50) and 1 (125) with 10 and 4 mV peak to peak at 1 kHz.
    const int rows[][3] = {{0, 50, 10}, {1, 125, 4}};
    for (const auto& [gainCode, gain, amplitude] : rows) {
        ASSERT_EQ(api.baseConfiguration.setAllAPGains(uint8_t(gainCode)), 0u);
        configure(3, true, 0x95, 0, uint8_t(amplitude)); // sine, 1 mV steps, 1 kHz, channel A
        const auto components = components1kHz(10);
        for (const auto& [channel, bank, electrode] : probes) {
            const double expected =
                electrode == 36 ? 0 : amplitude * 0.5e-3 * gain * truth.electrodeGain[electrode];
            EXPECT_NEAR(std::abs(components[channel]), expected, 0.004 * expected + 2e-3)
                << "channel " << channel << " on bank " << bank << " gain code " << gainCode;
        }
    }
}

TEST_F(SimulatorAnalogue, ImpedanceModeAmplitudeFollowsTheElectrodesImpedance) {
    ASSERT_EQ(api.shankConfiguration.setElectrodeConnection(7, 1), 0u); // electrode 391
    ASSERT_EQ(api.tolmaren_writeShankRegister(true), 0u);
    configure(2, true, 0x95, 0, 10); // 5 mV peak at 1 kHz: a test current of 0.45 nA
    const double admittance = 1 / truth.impedance[391] + 2 * pi * 1000 * 0.7e-12;
    const double expected = 0.45e-9 / admittance / truth.electrodeGain[391];
    EXPECT_NEAR(std::abs(components1kHz(250)[7]), expected, 0.02 * expected);
}
