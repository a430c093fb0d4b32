#include <gtest/gtest.h>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"

namespace {

// Exposes the protected members that the core operations set up.
class InspectableApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::dcLevelCodes_;
    using Tolmaren_basestation_api::eepromImage_;
    using Tolmaren_basestation_api::sampleTimes_;
    using Tolmaren_basestation_api::slopeTable_;
    using Tolmaren_basestation_api::asicId_;
    using Tolmaren_basestation_api::dataLink_;
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::datamodel_;
    using Tolmaren_basestation_api::dummyMode_;
    using Tolmaren_basestation_api::datamode_;
};

TEST(FacadeCore, FreshObjectIsClosedAndAnswersItsQueries) {
    InspectableApi api;
    EXPECT_FALSE(api.tolmaren_isConnected());
    VersionNumber hw{7, 7};
    EXPECT_EQ(api.tolmaren_getHardwareVersion(&hw), 1u);
    EXPECT_EQ(hw.major, 7);
    EXPECT_EQ(hw.minor, 7);
    EXPECT_EQ(api.tolmaren_getOption(), 0);
    const VersionNumber v = api.tolmaren_getAPIVersion();
    EXPECT_EQ(v.major, 4);
    EXPECT_EQ(v.minor, 1);
    EXPECT_EQ(api.tolmaren_recalib(), 1u);

    EXPECT_EQ(api.dataLink_, nullptr);
    EXPECT_EQ(api.configLink_, nullptr);
    EXPECT_EQ(api.datamodel_, nullptr);
    EXPECT_FALSE(api.dummyMode_);
    EXPECT_FALSE(api.datamode_);
    EXPECT_EQ(api.asicId_.serialNumber, 0u);
    for (unsigned char byte : api.eepromImage_)
        ASSERT_EQ(byte, 0);
}

TEST(FacadeCore, WorkArraysAndDcLevelTable) {
    InspectableApi api;
    EXPECT_DOUBLE_EQ(api.sampleTimes_[0], 0.0);
    EXPECT_DOUBLE_EQ(api.sampleTimes_[1307], 1307 / 30000.0);
    // Every row of the slope table is its own block that can be written.
    for (int c = 0; c < 128; ++c)
        api.slopeTable_[c][31] = static_cast<float>(c);
    EXPECT_EQ(api.slopeTable_[127][31], 127.0f);

    const std::map<std::string, unsigned short> expected = {
        {"1.59", 0},    {"150", 2925},   {"200", 3933},   {"400", 7951},
        {"450", 8954},  {"500", 9953},   {"600", 11960},  {"700", 13968},
        {"750", 14970}, {"800", 15980},  {"1000", 19969}, {"1050", 20977}};
    EXPECT_EQ(api.dcLevelCodes_, expected);
}

TEST(FacadeCore, ChainModelsFollowTheFacadeIdentity) {
    InspectableApi api;
    // The shank model reads the probe type through the facade's identity: a
    // type 0 probe has no shank chain, a type 2 probe has one of 962 bits.
    std::vector<bool> chain;
    EXPECT_EQ(api.shankConfiguration.getChain(chain), 1u);
    api.asicId_.probeType = 2;
    EXPECT_EQ(api.shankConfiguration.getChain(chain), 0u);
    EXPECT_EQ(chain.size(), 962u);
    EXPECT_EQ(api.tolmaren_getOption(), 2);
    // The base model sees probe type 3 and so expects 276 channel entries.
    api.asicId_.probeType = 3;
    std::vector<ChanSetxx> settings(276);
    EXPECT_EQ(api.baseConfiguration.setChannelSettings(settings), 0u);
}

TEST(FacadeCore, LogIsWrittenUnbufferedAndCloseTwiceOnlyLogs) {
    ScopedWorkDir dir;
    InspectableApi api;
    api.tolmaren_startLog();
    api.tolmaren_isConnected();
    // Unbuffered: the line is in the file before anything is closed or flushed.
    EXPECT_EQ(dir.readFile("api_log.txt"), "tolmaren_isConnected() called\n-> returns false\n");

    api.tolmaren_close();
    api.tolmaren_close();
    const std::string closeLines = "tolmaren_close() called\ndata link disConnected\n"
                                   "configuration link disConnected\napi datamodel_ member deleted\n";
    EXPECT_EQ(dir.readFile("api_log.txt"),
              "tolmaren_isConnected() called\n-> returns false\n" + closeLines + closeLines);
    EXPECT_FALSE(api.tolmaren_isConnected());

    VersionNumber hw;
    api.tolmaren_getHardwareVersion(&hw);
    api.tolmaren_getAPIVersion();
    EXPECT_NE(dir.readFile("api_log.txt")
                  .find("tolmaren_getHardwareVersion(VersionNumber version)\n"
                        "tolmaren_getAPIVersion() called\n-> {4, 1}\n"),
              std::string::npos);
}

TEST(FacadeCore, StartLogTruncatesAnEarlierLog) {
    ScopedWorkDir dir;
    {
        Tolmaren_basestation_api first;
        first.tolmaren_startLog();
        first.tolmaren_isConnected();
    }
    Tolmaren_basestation_api second;
    second.tolmaren_startLog();
    EXPECT_EQ(dir.readFile("api_log.txt"), "");
}

TEST(FacadeCore, WithoutLogNothingIsWritten) {
    ScopedWorkDir dir;
    {
        Tolmaren_basestation_api api;
        api.tolmaren_isConnected();
        api.tolmaren_close();
    }
    EXPECT_FALSE(std::ifstream(dir.path() + "/api_log.txt").good());
}

TEST(FacadeCore, OperationsOfAClosedFacadeReturnTheirGuardCode) {
    Tolmaren_basestation_api api;
    std::vector<unsigned char> bytes(3, 0xAA);
    EXPECT_EQ(api.tolmaren_readUart(0x40, 0x10, bytes), 1u);
    EXPECT_EQ(bytes, std::vector<unsigned char>(3, 0xAA));
    EXPECT_EQ(api.tolmaren_writeUart(0x40, 0x10, {1}), 1u);
    EXPECT_EQ(api.tolmaren_flushData(), 1u);
    EXPECT_EQ(api.skipAdcData(1), 1u);
    EXPECT_EQ(api.skipElectrodeData(1), 1u);
}

} // namespace
