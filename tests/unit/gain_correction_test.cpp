// The gain-correction table: its size per probe type, the scale registers it
// goes to (element k at 0x2000 + 4 k) and the copy the facade keeps.
#include <gtest/gtest.h>

#include <fstream>

#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"

namespace {

using Table = std::vector<unsigned short>;

Table table(size_t size) {
    Table values(size);
    for (size_t k = 0; k < size; ++k)
        values[k] = static_cast<unsigned short>(0x8000 + 37 * k);
    return values;
}

TEST(GainCorrection, TableSizeFollowsTheProbeType) {
    const struct {
        int8_t type;
        size_t entries;
        unsigned int storedWrongSize; // code when keeping a table of another size
    } rows[] = {{0, 384, 1}, {1, 384, 1}, {2, 960, 1}, {3, 966, 1}, {4, 966, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE("probe type " + std::to_string(row.type));
        ScopedWorkDir dir;
        std::ofstream("empty.bin");
        DataTestApi api;
        api.setProbeType(row.type);
        Table values = table(row.entries), back(3, 7);
        EXPECT_EQ(api.tolmaren_gainCorrection(values), 1u); // no open probe
        EXPECT_EQ(api.tolmaren_getGainCorrection(back), 1u);
        ASSERT_EQ(api.tolmaren_open("empty.bin"), 0u);
        EXPECT_EQ(api.tolmaren_gainCorrection(values), 2u); // ADC data mode
        back.assign(3, 7);
        EXPECT_EQ(api.tolmaren_getGainCorrection(back), 2u);
        EXPECT_TRUE(back.empty());
        api.setElectrodeMode(true);
        auto reg = [&](size_t k) { return api.configLink_->vciRead(0x2000 + 4 * unsigned(k)); };

        for (size_t wrong : {row.entries - 1, row.entries + 1}) {
            Table refused = table(wrong);
            EXPECT_EQ(api.tolmaren_gainCorrection(refused), 3u);
        }
        ASSERT_EQ(api.tolmaren_gainCorrection(values), 0u);
        EXPECT_EQ(reg(row.entries - 1), values.back());
        EXPECT_EQ(reg(row.entries), 0u);
        back.assign(3, 7);
        EXPECT_EQ(api.tolmaren_getGainCorrection(back), 0u);
        EXPECT_EQ(back, values);

        // The kept copy: no table yet, then one of the right size only.
        EXPECT_EQ(api.tolmaren_getGainCorrectionCalibration(back), 1u);
        EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(row.entries)), 0u);
        EXPECT_TRUE(api.gainCalibrationRun_);
        EXPECT_EQ(api.tolmaren_setGainCorrectionCalibration(table(5)), row.storedWrongSize);
        ASSERT_EQ(api.tolmaren_getGainCorrectionCalibration(back), 0u);
        EXPECT_EQ(back, table(row.storedWrongSize ? row.entries : 5));
    }
}

} // namespace
