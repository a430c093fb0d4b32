#pragma once

#include <gtest/gtest.h>

#include "api/Tolmaren_basestation_api.h"
#include "common/StreamBuilder.h"
#include "vci/VciDummy.h"

// The facade with the members that the neural-data operations depend on
// within reach: the probe type, the data mode and the links.
class DataTestApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::dataLink_;
    using Tolmaren_basestation_api::gainCalibrationRun_;

    void setProbeType(int8_t probeType) { asicId_.probeType = probeType; }
    void setElectrodeMode(bool electrode) { datamode_ = electrode; }

    // Opens the facade on a data link of the caller's making (taken over),
    // as a live open would: register space in memory, not in playback mode.
    void attach(TolmarenConnectionLinkIntf* link) {
        dataLink_ = link;
        configLink_ = new VciDummy();
        datamodel_ = new neuroprobe(0, configLink_);
    }
};

// Sample code to volts: code x 0.0011730206 in single precision.
inline float volts(uint32_t code) {
    return static_cast<float>(code) * 0.0011730206f;
}

// LFP code v of block b is the sample of channel 24 (v div 2) + 2 b + v mod 2.
inline unsigned int lfpChannel(unsigned int b, unsigned int v) {
    return 24 * (v / 2) + 2 * b + v % 2;
}

// Whether every field of the packet is that of StreamBuilder's packet p.
inline ::testing::AssertionResult isPatternPacket(const ElectrodePacket& got, unsigned int p) {
    using S = StreamBuilder;
    for (unsigned int n = 12 * p; n < 12 * p + 12; ++n) {
        const unsigned int b = n % 12;
        bool same = got.startTrigger[b] == S::trigger(n) && got.synchronization[b] == S::sync(n);
        for (unsigned int k = 0; k < 13; ++k)
            same = same && got.ctrs[b][k] == S::counter(n, k);
        for (unsigned int v = 0; v < 32; ++v)
            same = same && got.lfpData[lfpChannel(b, v)] == volts(S::lfp(n, v));
        for (unsigned int c = 0; c < 384; ++c)
            same = same && got.apData[b][c] == volts(S::ap(n, c));
        if (!same) return ::testing::AssertionFailure() << "block " << n << " differs";
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult isPatternPacket(const AdcPacket& got, unsigned int p) {
    for (unsigned int r = 13 * p; r < 13 * p + 13; ++r) {
        bool same = got.records[r % 13].ctr == StreamBuilder::adcCounter(r);
        for (unsigned int a = 0; a < 32; ++a)
            same = same && got.records[r % 13].adcData[a] == volts(StreamBuilder::adc(r, a));
        if (!same) return ::testing::AssertionFailure() << "record " << r << " differs";
    }
    return ::testing::AssertionSuccess();
}
