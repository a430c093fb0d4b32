// The facade without a basestation: guard codes of a closed facade, the log,
// the tables it is built with, and playback, where nothing reaches a headstage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"

namespace {

class InspectableApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::asicId_;
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::dcLevelCodes_;
    using Tolmaren_basestation_api::sampleTimes_;
};

TEST(Facade, ClosedFacadeAnswersEveryOperationWithItsGuardAndTouchesNoOutput) {
    InspectableApi api;
    bool flag = true;
    unsigned char byte = 7;
    float value = 1.5f;
    unsigned int exponent = 9;
    std::vector<unsigned char> bytes(3, 0xAA);
    VersionNumber hw{7, 7};
    using A = InspectableApi;
    const std::function<unsigned int(A&)> guarded[] = {
        [&](A& a) { return a.tolmaren_datamode(true); },
        [&](A& a) { return a.tolmaren_readDatamodeFromBS(flag); },
        [&](A& a) { return a.tolmaren_setBSSwHbeat(true); },
        [&](A& a) { return a.tolmaren_getLockChecking(flag); },
        [&](A& a) { return a.tolmaren_setBypassDatapath(true); },
        [&](A& a) { return a.tolmaren_getBSRevision(byte); },
        [&](A& a) { return a.tolmaren_resetDatapath(); },
        [&](A& a) { return a.tolmaren_enableBasestationGenerator(true, 1, 2); },
        [&](A& a) { return a.tolmaren_getBasestationGeneratorEnabled(flag, byte, exponent); },
        [&](A& a) { return a.tolmaren_readTemperature(value); },
        [&](A& a) { return a.tolmaren_checkBasestationDatapath(); },
        [&](A& a) { return a.tolmaren_getHardwareVersion(&hw); },
        [&](A& a) { return a.tolmaren_recalib(); },
        [&](A& a) { return a.tolmaren_readUart(0x40, 0x10, bytes); },
        [&](A& a) { return a.tolmaren_writeUart(0x40, 0x10, {1}); },
        [&](A& a) { return a.tolmaren_flushData(); },
        [&](A& a) { return a.skipAdcData(1); },
        [&](A& a) { return a.skipElectrodeData(1); },
        [&](A& a) { return a.tolmaren_writeLCD("0123456789abcdef", "0123456789abcdef"); },
    };
    for (std::size_t i = 0; i < std::size(guarded); ++i)
        EXPECT_EQ(guarded[i](api), 1u) << "operation " << i;
    EXPECT_TRUE(flag);
    EXPECT_EQ(byte, 7);
    EXPECT_EQ(value, 1.5f);
    EXPECT_EQ(exponent, 9u);
    EXPECT_EQ(bytes, std::vector<unsigned char>(3, 0xAA));
    EXPECT_EQ(hw.major, 7);
    EXPECT_FALSE(api.tolmaren_getDatamode());
    EXPECT_FALSE(api.tolmaren_isConnected());
    // Nothing to start and no FIFO to fill.
    EXPECT_EQ(api.tolmaren_setNeuralStart(), 0u);
    EXPECT_EQ(api.tolmaren_fifoFilling(), 0.0f);
    EXPECT_EQ(api.tolmaren_getOption(), 0);
    const VersionNumber v = api.tolmaren_getAPIVersion();
    EXPECT_EQ(v.major, 4);
    EXPECT_EQ(v.minor, 1);
}

TEST(Facade, TablesAndChainModelsFollowTheFacade) {
    InspectableApi api;
    EXPECT_DOUBLE_EQ(api.sampleTimes_[1307], 1307 / 30000.0);
    const std::map<std::string, unsigned short> levels = {
        {"1.59", 0},    {"150", 2925},  {"200", 3933},   {"400", 7951},
        {"450", 8954},  {"500", 9953},  {"600", 11960},  {"700", 13968},
        {"750", 14970}, {"800", 15980}, {"1000", 19969}, {"1050", 20977}};
    EXPECT_EQ(api.dcLevelCodes_, levels);
    // The models read the probe type through the facade's identity.
    std::vector<bool> chain;
    EXPECT_EQ(api.shankConfiguration.getChain(chain), 1u);
    api.asicId_.probeType = 2;
    EXPECT_EQ(api.shankConfiguration.getChain(chain), 0u);
    EXPECT_EQ(chain.size(), 962u);
    EXPECT_EQ(api.tolmaren_getOption(), 2);
    api.asicId_.probeType = 3;
    EXPECT_EQ(api.baseConfiguration.setChannelSettings(std::vector<ChanSetxx>(276)), 0u);
}

TEST(Facade, LogIsUnbufferedTruncatedAndOnlyWrittenOnceStarted) {
    ScopedWorkDir dir;
    {
        Tolmaren_basestation_api silent;
        silent.tolmaren_isConnected();
    }
    EXPECT_FALSE(std::ifstream(dir.path() + "/api_log.txt").good());
    {
        Tolmaren_basestation_api first;
        first.tolmaren_startLog();
        first.tolmaren_isConnected();
        EXPECT_EQ(dir.readFile("api_log.txt"), "tolmaren_isConnected() called\n-> returns false\n");
    }
    Tolmaren_basestation_api api;
    api.tolmaren_startLog();
    api.tolmaren_close();
    api.tolmaren_getAPIVersion();
    const std::string closed = "tolmaren_close() called\ndata link disConnected\n"
                               "configuration link disConnected\n"
                               "api datamodel_ member deleted\n";
    EXPECT_EQ(dir.readFile("api_log.txt"), closed + "tolmaren_getAPIVersion() called\n-> {4, 1}\n");
    // A second facade's named log leaves the first one's alone.
    Tolmaren_basestation_api second;
    second.tolmaren_startLog("second.txt");
    second.tolmaren_isConnected();
    api.tolmaren_close();
    EXPECT_EQ(dir.readFile("second.txt"), "tolmaren_isConnected() called\n-> returns false\n");
    EXPECT_EQ(dir.readFile("api_log.txt"),
              closed + "tolmaren_getAPIVersion() called\n-> {4, 1}\n" + closed);
}

// Only a numeric IPv4 address in dotted decimal is taken; the default is the
// address the library was built with.
TEST(Facade, BasestationAddressIsCheckedAndABadOneFromTheEnvironmentFailsTheOpen) {
    const struct {
        const char* address;
        unsigned int code;
    } cases[] = {
        {"127.0.0.2", 0},   {"0.0.0.0", 0},    {"255.255.255.255", 0},
        {"10.20.3.199", 0}, {"", 2},           {"localhost", 2},
        {"127.0.0", 2},     {"127.0.0.1.", 2}, {"127.0.0.1.5", 2},
        {"256.0.0.1", 2},   {"127.0.0.01", 2}, {"1234.0.0.1", 2},
        {"127.1", 2},       {"0x7f.0.0.1", 2}, {" 127.0.0.1", 2},
        {"127.0.0.1 ", 2},  {"127..0.1", 2},   {"127.0.0.-1", 2},
        {"::1", 2},         {"1.2.3.4/8", 2},
    };
    Tolmaren_basestation_api api;
    EXPECT_EQ(api.tolmaren_getBasestationAddress(), tolmarenBasestationAddress);
    std::string expected = tolmarenBasestationAddress;
    for (const auto& c : cases) {
        EXPECT_EQ(api.tolmaren_setBasestationAddress(c.address), c.code) << c.address;
        if (c.code == 0) expected = c.address;
        EXPECT_EQ(api.tolmaren_getBasestationAddress(), expected) << c.address;
    }

    ConnectionFailure failure;
    EXPECT_EQ(api.tolmaren_getConnectionFailure(failure), 1u);
    setenv(BasestationAddress::environmentVariable, "basestation.lab", 1);
    Tolmaren_basestation_api fromEnvironment;
    unsetenv(BasestationAddress::environmentVariable);
    // Refused before any connection is tried (nothing is resolved).
    EXPECT_EQ(fromEnvironment.tolmaren_open(0), 2u);
    ASSERT_EQ(fromEnvironment.tolmaren_getConnectionFailure(failure), 0u);
    EXPECT_EQ(failure.address, "basestation.lab");
    EXPECT_EQ(failure.port, 1235);
    EXPECT_EQ(failure.errorNumber, 0);
    EXPECT_EQ(failure.reason, "not a numeric IPv4 address");
    EXPECT_FALSE(fromEnvironment.tolmaren_isConnected());
}

// A facade opened for playback on an empty recording: the register space is
// in memory and nothing reaches a headstage.
class PlaybackFacade : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream("empty.bin").close();
        ASSERT_EQ(api.tolmaren_open(std::string("empty.bin")), 0u);
        api.asicId_.probeType = 2;
    }
    ScopedWorkDir dir;
    InspectableApi api;
};

TEST_F(PlaybackFacade, SerialLinkAndChainsSucceedWithoutAHeadstage) {
    std::vector<unsigned char> bytes = {1, 2, 3};
    unsigned char mode = 9;
    api.baseConfiguration.setChannelSettingApGain(17, 5);
    testing::internal::CaptureStderr(); // in-memory register accesses would leave trace lines
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x60, bytes), 0u);
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {0x01}), 0u);
    EXPECT_EQ(api.tolmaren_mode(1), 0u);
    EXPECT_EQ(api.tolmaren_readMode(mode), 0u);
    EXPECT_EQ(api.tolmaren_writeBaseRegister(true), 0u);
    EXPECT_EQ(api.tolmaren_writeTestRegister(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0, 0, 0}));
    EXPECT_EQ(mode, 0);

    // The models stand for the chains.
    std::vector<bool> expected, chain;
    api.baseConfiguration.getChain(expected);
    EXPECT_EQ(api.tolmaren_readBaseRegister(chain), 0u);
    EXPECT_EQ(chain, expected);
    api.shankConfiguration.setElectrodeConnection(3, 1);
    api.shankConfiguration.getChain(expected);
    EXPECT_EQ(api.tolmaren_readShankRegister(chain), 0u);
    EXPECT_EQ(chain, expected);
    std::vector<bool> untouched = {true};
    EXPECT_EQ(api.tolmaren_readShiftRegister(7, untouched, 5), 0u);
    EXPECT_EQ(untouched, std::vector<bool>{true});
}

TEST_F(PlaybackFacade, ConfigurationOperationsChangeTheModelsAndTheElectrodeTable) {
    EXPECT_EQ(api.tolmaren_selectElectrode(5, 1, true) + api.tolmaren_setExtRef(false, true) +
                  api.tolmaren_setGain(10, 2, 3, true) + api.tolmaren_setStdb(11, true, true) +
                  api.tolmaren_setFilter(1) + api.tolmaren_setReference(12, 4, true) +
                  api.tolmaren_writeAllLFPGains(7) + api.tolmaren_writeAllStandby(false) +
                  api.tolmaren_writeAllReferences(10),
              0u);
    EXPECT_EQ(api.configLink_->vciRead(0x1C + 4 * 5), 1u);
    EXPECT_EQ(api.configLink_->vciRead(0x1C + 4 * 6), 255u);
    const auto settings = api.baseConfiguration.getChannelSettings();
    EXPECT_EQ(settings[10].apGain, 2);
    EXPECT_EQ(settings[10].lfpGain, 7);
    EXPECT_FALSE(settings[11].standby);
    EXPECT_EQ(api.baseConfiguration.getAllChannelReferenceIndices()[12], 10);
    EXPECT_FALSE(api.shankConfiguration.getEvenReference() ||
                 api.shankConfiguration.getOddReference());

    // A probe without a shank: the table goes out, then the chain cannot.
    api.asicId_.probeType = 1;
    std::vector<bool> chain;
    EXPECT_EQ(api.tolmaren_readShankRegister(chain), 7u);
    api.shankConfiguration.reset();
    api.configLink_->vciWrite(0x1C, 0);
    EXPECT_EQ(api.tolmaren_writeShankRegister(true), 6u);
    EXPECT_EQ(api.configLink_->vciRead(0x1C), 255u);
    EXPECT_EQ(api.tolmaren_selectElectrode(5, 1, false), 1u);
    EXPECT_EQ(api.tolmaren_setExtRef(true, true), 5u);
}

TEST(Configuration, ModelRefusalsAndWritesWithoutAProbe) {
    InspectableApi api;
    api.asicId_.probeType = 2;
    using A = InspectableApi;
    const struct {
        unsigned int code;
        std::function<unsigned int(A&)> op;
    } rows[] = {
        {3, [](A& a) { return a.tolmaren_setGain(10, 8, 1, true); }},
        {3, [](A& a) { return a.tolmaren_setGain(10, 1, 8, true); }},
        {2, [](A& a) { return a.tolmaren_setGain(384, 1, 1, false); }},
        {2, [](A& a) { return a.tolmaren_setGain(-1, 1, 1, false); }},
        {0, [](A& a) { return a.tolmaren_setGain(0, 257, 1, false); }}, // low 8 bits: gain 1
        {3, [](A& a) { return a.tolmaren_setGain(0, 264, 1, false); }}, // low 8 bits: gain 8
        {0, [](A& a) { return a.tolmaren_selectElectrode(5, -1, false); }},
        {3, [](A& a) { return a.tolmaren_selectElectrode(200, 2, false); }},
        {2, [](A& a) { return a.tolmaren_selectElectrode(384, 0, false); }},
        {2, [](A& a) { return a.tolmaren_setStdb(384, true, false); }},
        {3, [](A& a) { return a.tolmaren_setFilter(2); }},
        {3, [](A& a) { return a.tolmaren_setFilter(-1); }},
        {3, [](A& a) { return a.tolmaren_setReference(0, 11, true); }},
        {0, [](A& a) { return a.tolmaren_setReference(0, 10, false); }},
        {3, [](A& a) { return a.tolmaren_writeAllAPGains(8); }},
        {3, [](A& a) { return a.tolmaren_writeAllLFPGains(8); }},
        {3, [](A& a) { return a.tolmaren_writeAllReferences(11); }},
        {4, [](A& a) { return a.tolmaren_setGain(20, 2, 2, true); }},
        {4, [](A& a) { return a.tolmaren_setStdb(20, true, true); }},
        {4, [](A& a) { return a.tolmaren_setFilter(3); }},
        {4, [](A& a) { return a.tolmaren_setReference(1, 1, true); }},
        {4, [](A& a) { return a.tolmaren_writeAllAPGains(1); }},
        {4, [](A& a) { return a.tolmaren_writeAllLFPGains(1); }},
        {4, [](A& a) { return a.tolmaren_writeAllStandby(true); }},
        {4, [](A& a) { return a.tolmaren_writeAllReferences(0); }},
        {5, [](A& a) { return a.tolmaren_selectElectrode(6, 1, true); }},
        {5, [](A& a) { return a.tolmaren_setExtRef(true, true); }},
        {8, [](A& a) { return a.tolmaren_writeShankRegister(true); }},
        {1, [](A& a) { return a.tolmaren_writeBaseRegister(false); }},
        {3, [](A& a) { return a.tolmaren_writeTestRegister(); }},
    };
    for (std::size_t r = 0; r < std::size(rows); ++r)
        EXPECT_EQ(rows[r].op(api), rows[r].code) << "row " << r;
    // The AP gain is taken before the LFP gain is refused.
    EXPECT_EQ(api.tolmaren_setGain(30, 4, 8, false), 3u);
    EXPECT_EQ(api.baseConfiguration.getChannelSettings()[30].apGain, 4);
    api.asicId_.probeType = 3;
    EXPECT_EQ(api.tolmaren_writeAllReferences(8), 3u);
}

} // namespace
