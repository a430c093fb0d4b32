// The live open against the simulated basestation, headstage and probe: the
// state it leaves for each probe type, and the code of every step a fault on
// the wire can make fail, followed each time by a recovering open.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "api/BasestationAddress.h"
#include "common/LiveProbe.h"
#include "common/TestAddress.h"

using tolmaren_sim::UartFailure;
using tolmaren_sim::UartFault;

namespace {

std::vector<bool> bits(const std::vector<bool>& chain, std::size_t from, std::size_t count) {
    return std::vector<bool>(chain.begin() + from, chain.begin() + from + count);
}

// What a successful open leaves in the facade and the simulated probe of
// this type (serial number 1000 + type), opened with the setting 0x5A.
void expectOpened(LiveProbe& p, int type) {
    EXPECT_EQ(p.sim.displayLines(),
              (std::array<std::string, 2>{"    Tolmaren    ", "   BaseStation  "}));
    EXPECT_EQ(p.api.tolmaren_getId().serialNumber, 1000u + type);
    // open_setting, start-trigger output, parity.
    EXPECT_EQ(p.sim.registerValue(0x1280), 0x5Au);
    EXPECT_EQ(p.sim.registerValue(0x1220), 1u);
    EXPECT_EQ(p.sim.registerValue(0x1054), 1u);
    EXPECT_EQ(p.sim.headstageRegister(0x11), 0xF4); // MODE 3, PR_NRST, NRST, bit 2
    EXPECT_EQ(p.sim.headstageRegister(0x65), 0xA0);
    // Default base chain: ADC 29 compP 21, channel 1 AP gain 1.
    const auto base = p.sim.chain(0);
    EXPECT_EQ(bits(base, 0, 5), (std::vector<bool>{1, 0, 1, 0, 1}));
    EXPECT_EQ(bits(base, 248, 3), (std::vector<bool>{1, 0, 0}));
    const auto shank = p.sim.chain(1); // type 2: only the first and the last bit set
    EXPECT_TRUE(type != 2 || (shank.front() && shank.back() &&
                              std::count(shank.begin(), shank.end(), true) == 2));
    const std::size_t gains[] = {384, 384, 960, 966};
    EXPECT_EQ(p.api.gainCorrectionCalibration_, std::vector<unsigned short>(gains[type], 512));
    EXPECT_EQ(p.api.adcPairCommonCalibration_.size(), 16u);
    ASSERT_EQ(p.api.adcCompCalibration_.size(), 32u);
    EXPECT_EQ(p.api.adcCompCalibration_[31].compN, 21);
    EXPECT_TRUE(p.api.adcSlopeCalibrationRun_ && p.api.adcOffsetCalibrationRun_ &&
                p.api.comparatorCalibrationRun_ && p.api.gainCalibrationRun_);

    ElectrodePacket packet;
    for (uint32_t unit = 0; unit < 36; unit += 12) {
        ASSERT_EQ(p.api.tolmaren_readElectrodeData(packet), 0u);
        for (uint32_t b = 0; b < 12; ++b)
            ASSERT_EQ(packet.ctrs[b][0], unit + b);
    }
}

struct FailingStep {
    const char* name;
    int probeType;
    UartFault fault;
    unsigned int code;
};

UartFault refused(uint8_t device, std::optional<uint8_t> reg, bool read,
                  std::optional<uint16_t> value = {}, unsigned int skip = 0) {
    return {device, reg, read, value, skip, 1, UartFailure::Refused};
}

// A lost command makes the host wait out its polls; only the serializer's
// retry needs that, the other steps fail as fast on a refused one.
const FailingStep steps[] = {
    {"Deserializer", 0, refused(0x90, {}, false), 5},
    {"SerializerTwice", 0, {0x80, {}, {}, {}, 0, 2}, 6},
    {"SerializerOnceIsRetried", 0, {0x80, {}, {}, {}, 0, 1}, 0},
    {"HeadstageReset", 0, refused(0x40, 0x31, false), 21},
    {"ReadControl2", 0, refused(0x40, 0x11, true), 20},
    {"WriteControl2", 0, refused(0x40, 0x11, false, {}, 1), 20},
    {"WriteEepromSetting", 0, refused(0x40, 0x65, false), 20},
    {"NdEnable", 0, refused(0x40, 0x10, true), 7},
    {"Te", 0, refused(0x40, 0x10, false, {}, 2), 8},
    {"PrNrst", 0, refused(0x40, 0x11, true, {}, 1), 9},
    {"Nrst", 0, refused(0x40, 0x11, true, {}, 2), 10},
    {"ConfigurationMode", 0, refused(0x40, 0x11, true, {}, 3), 11},
    {"EepromIdentity", 0, refused(0x40, 0x60, false), 12},
    {"BaseChain", 0, refused(0x40, 0x50, false, 0, 1), 13},
    {"RecordingMode", 0, refused(0x40, 0x11, false, 0xE4), 11},
    {"NoShankChainOnType1", 1, refused(0x40, 0x50, false, 1), 0},
    {"ShankChain", 2, refused(0x40, 0x50, false, 1), 14},
    {"TestChain", 3, refused(0x40, 0x50, false, 2), 15},
};

} // namespace

// The rows run in the order of their steps, each after a close of the facade
// that the row before left failed: every open reaching a later step shows that
// close and a new open recover. Each probe type ends with a successful open
// (a row's or a last one), whose state is checked.
TEST(Open, EachStepReportsItsCodeAndTheNextOpenRecoversToTheOpenedState) {
    for (int type = 0; type <= 3; ++type) {
        LiveProbe p(LiveProbe::probe(type, 1000 + type));
        unsigned int last = 1;
        for (const FailingStep& step : steps) {
            if (step.probeType != type) continue;
            p.api.tolmaren_close();
            p.api.baseConfiguration.setChannelSettingApGain(1, 7); // a stale model
            p.failUart({step.fault});
            last = p.api.tolmaren_open(0x5A);
            EXPECT_EQ(last, step.code) << step.name;
            p.failUart({});
        }
        if (last != 0) {
            p.api.tolmaren_close();
            p.api.baseConfiguration.setChannelSettingApGain(1, 7);
            ASSERT_EQ(p.api.tolmaren_open(0x5A), 0u) << "type " << type;
        }
        expectOpened(p, type);
    }
}

TEST(OpenWithoutProbe, BasestationFaults) {
    {
        LiveProbe none(LiveProbe::probe(0, 0), false);
        EXPECT_EQ(none.api.tolmaren_open(0), 2u);
    }
    auto options = LiveProbe::probe(0, 0);
    options.data.listen = false;
    {
        LiveProbe noData(options);
        EXPECT_EQ(noData.api.tolmaren_open(0), 1u);
        ConnectionFailure failure;
        ASSERT_EQ(noData.api.tolmaren_getConnectionFailure(failure), 0u);
        EXPECT_EQ(failure.address, TestAddress::own());
        EXPECT_EQ(failure.port, 1234);
        EXPECT_EQ(failure.errorNumber, ECONNREFUSED);
        EXPECT_EQ(failure.reason, "Connection refused");
        const auto requests = noData.sim.counters().requests;
        EXPECT_EQ(noData.api.tolmaren_open(0), 3u); // the configuration link stayed
        EXPECT_EQ(noData.sim.counters().requests, requests);
    }
    options.data.listen = true;
    options.fpgaVersionMajor = 5;
    LiveProbe p(options);
    EXPECT_EQ(p.api.tolmaren_open(0), 4u);
    EXPECT_FALSE(p.api.tolmaren_isConnected());
    EXPECT_EQ(p.sim.counters().uartTransactions, 0u);
}

// A simulator on another loopback address is reached through the address
// the application sets, or the one the environment names; a connection that
// is refused names the address, the port and the system's reason.
TEST(OpenAtAddress, ChosenByTheOperationOrTheEnvironment) {
    auto options = LiveProbe::probe(0, 0);
    options.address = TestAddress::other();
    LiveProbe p(options);
    ConnectionFailure failure;
    ASSERT_EQ(p.api.tolmaren_setBasestationAddress(TestAddress::vacant()), 0u);
    EXPECT_EQ(p.api.tolmaren_open(0), 2u);
    ASSERT_EQ(p.api.tolmaren_getConnectionFailure(failure), 0u);
    EXPECT_EQ(failure.address, TestAddress::vacant());
    EXPECT_EQ(failure.port, 1235);
    EXPECT_EQ(failure.errorNumber, ECONNREFUSED);
    EXPECT_EQ(failure.reason, "Connection refused");

    ASSERT_EQ(p.api.tolmaren_setBasestationAddress(TestAddress::other()), 0u);
    EXPECT_EQ(p.api.tolmaren_open(0), 0u);
    p.api.tolmaren_close();

    setenv(BasestationAddress::environmentVariable, TestAddress::other().c_str(), 1);
    Tolmaren_basestation_api fromEnvironment;
    unsetenv(BasestationAddress::environmentVariable);
    EXPECT_EQ(fromEnvironment.tolmaren_open(0), 0u);
}
