// The EEPROM operations in playback, where an image inside the facade stands
// in for the headstage's EEPROM, and the packed identity.
#include <gtest/gtest.h>

#include "common/CalibrationView.h"
#include "common/ScopedWorkDir.h"

TEST(EepromPlayback, ImageIdentityAndBounds) {
    ScopedWorkDir dir;
    CalibrationView api;
    ASSERT_EQ(api.tolmaren_open(std::string("missing.bin")), 0u);
    AsicID id{77, 3};
    ASSERT_EQ(api.tolmaren_readId(id), 0u); // a fresh image is all zero
    EXPECT_EQ(id.serialNumber + id.probeType, 0u);
    AsicID stored{1234, 2};
    ASSERT_EQ(api.tolmaren_writeId(stored), 0u);
    unsigned char byte = 0;
    ASSERT_EQ(api.tolmaren_readEeprom(3, byte), 0u);
    EXPECT_EQ(byte, 0x80);
    EXPECT_EQ(api.tolmaren_asicIdStructToUnsignedInt(), 0x800004D2u);
    AsicID back = api.tolmaren_asicIdUnsignedIntToStruct(0xC0000005u);
    EXPECT_EQ(back.serialNumber + 10 * back.probeType, 5u + 30);
    AsicID negative{1, -1};
    EXPECT_EQ(api.tolmaren_writeId(negative), 11u);
    EXPECT_EQ(api.tolmaren_getId().probeType, 2);

    // Outside the 2048-byte image nothing is read or written.
    EXPECT_EQ(api.tolmaren_writeEeprom(2048, 0x55), 11u);
    EXPECT_EQ(api.tolmaren_writeEeprom(-1, 0x55), 11u);
    byte = 0x66;
    EXPECT_EQ(api.tolmaren_readEeprom(2048, byte), 11u);
    EXPECT_EQ(byte, 0x66);

    EXPECT_EQ(api.tolmaren_setADCPairCommonCalibration(std::vector<adcPairCommon>(15)), 1u);
    EXPECT_FALSE(api.adcSlopeCalibrationRun_);
}
