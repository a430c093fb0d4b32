// The data port end to end: the simulator's stream read and recorded through
// the facade, its settings changed through the facade on the configuration
// link. The simulator binds the fixed ports 1234 and 1235 that the facade
// connects to; run under the port lock.
#include <gtest/gtest.h>

#include "api/BasestationAddress.h"
#include "common/DataTestApi.h"
#include "common/ScopedWorkDir.h"
#include "data/TolmarenDataConnectionLink.h"
#include "sim/BasestationSimulator.h"

namespace {

class LiveApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::setupConfigLink;
    // Sets the data mode and opens a new data connection, on which the
    // simulator starts a new stream.
    unsigned int connectData(bool electrodeMode) {
        const unsigned int status = tolmaren_datamode(electrodeMode);
        delete dataLink_;
        dataLink_ = new TolmarenDataConnectionLink(tolmarenBasestationAddress, 1234);
        return status;
    }
};

TEST(SimulatorData, GeneratorStreamDecodesInBothFormsAndIsRecordedAsSent) {
    ScopedWorkDir dir;
    tolmaren_sim::SimulatorOptions options;
    options.data.pacing = tolmaren_sim::DataPacing::Fast;
    options.data.captureBytes = 1u << 16;
    tolmaren_sim::BasestationSimulator sim(options);
    sim.start();
    LiveApi api;
    ASSERT_EQ(api.setupConfigLink(), 0u);
    ASSERT_EQ(api.tolmaren_mode(3), 0u);
    ASSERT_EQ(api.setNeuralStart(true), 0u);
    // Code of channel c in AP sample n (block n) and LFP sample p (packet p):
    // 7 + c + n, 7 + c + p, modulo 1024.
    ASSERT_EQ(api.tolmaren_enableBasestationGenerator(true, 7, 0), 0u);
    ASSERT_EQ(api.connectData(true), 0u);

    ASSERT_EQ(api.tolmaren_startRecording("live.bin"), 0u);
    ElectrodePacket packet;
    for (unsigned int p = 0; p < 3; ++p) {
        ASSERT_EQ(api.tolmaren_readElectrodeData(packet), 0u);
        for (unsigned int b = 0; b < 12; ++b) {
            const unsigned int n = 12 * p + b;
            EXPECT_EQ(packet.ctrs[b][0], n);
            EXPECT_EQ(packet.ctrs[b][12], 12 * n + 11);
            EXPECT_EQ(packet.synchronization[b], 1u); // first half of the second
            EXPECT_TRUE(packet.startTrigger[b]);
            for (unsigned int c = 0; c < 384; ++c)
                ASSERT_EQ(packet.apData[b][c], volts((7 + c + n) % 1024)) << n << " " << c;
        }
        for (unsigned int c = 0; c < 384; ++c)
            ASSERT_EQ(packet.lfpData[c], volts((7 + c + p) % 1024)) << p << " " << c;
    }
    ASSERT_EQ(api.tolmaren_stopRecording(), 0u);
    const std::string recorded = dir.readFile("live.bin");
    const std::vector<uint8_t> sent = sim.dataStatistics().capture;
    EXPECT_TRUE(recorded == std::string(sent.begin(), sent.begin() + 3 * 7344));

    // ADC records: code of ADC a in record r is 200 + a + r div 4.
    ASSERT_EQ(api.tolmaren_enableBasestationGenerator(true, 200, 2), 0u);
    ASSERT_EQ(api.connectData(false), 0u);
    AdcPacket adc;
    for (unsigned int q = 0; q < 2; ++q) {
        ASSERT_EQ(api.tolmaren_readADCData(adc), 0u);
        for (unsigned int r = 13 * q; r < 13 * q + 13; ++r) {
            EXPECT_EQ(adc.records[r % 13].ctr, r);
            for (unsigned int a = 0; a < 32; ++a)
                ASSERT_EQ(adc.records[r % 13].adcData[a], volts((200 + a + r / 4) % 1024));
        }
    }
}

} // namespace
