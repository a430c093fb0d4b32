#pragma once

#include <algorithm>

#include "common/CalibrationView.h"
#include "data/TolmarenDataConnectionLink.h"

// The facade that runs the calibration sweeps in CI against the simulator
// in fast pacing, through the replaceable flush and skip operations:
// - the flush inside every datapath reset opens a new data connection
//   instead of draining until the stream pauses for a second; the
//   simulator starts every connection with a fresh stream, so nothing of
//   the old one can remain;
// - a skip that lets the stream settle reads at most `settlePackets`
//   packets instead of the thousands real hardware needs; the simulator
//   converts everything after a datapath reset with the settings of that
//   moment.
// `streamLost` makes every read find nothing (code 3), as when the stream
// stops. The members and protected operations are in view for the tests.
class FastCalibrationApi : public CalibrationView {
public:
    using Tolmaren_basestation_api::impedanceMeasurement_;
    using Tolmaren_basestation_api::splitCsvLineIntoCells;
    using Tolmaren_basestation_api::writeComparatorCalibrationToCsv;
    using Tolmaren_basestation_api::writeSlopeCalibrationToCsv;

    unsigned int tolmaren_flushData() override {
        if (!tolmaren_isConnected()) return 1;
        delete dataLink_;
        dataLink_ = nullptr;
        dataLink_ = new TolmarenDataConnectionLink(tolmaren_getBasestationAddress(), 1234);
        return 0;
    }
    unsigned int skipAdcData(unsigned int count) override {
        return Tolmaren_basestation_api::skipAdcData(std::min(count, settlePackets));
    }
    unsigned int skipElectrodeData(unsigned int count) override {
        return Tolmaren_basestation_api::skipElectrodeData(std::min(count, settlePackets));
    }
    unsigned int tolmaren_readADCData(AdcPacket& packet) override {
        return streamLost ? 3 : Tolmaren_basestation_api::tolmaren_readADCData(packet);
    }
    unsigned int tolmaren_readElectrodeData(ElectrodePacket& packet) override {
        return streamLost ? 3 : Tolmaren_basestation_api::tolmaren_readElectrodeData(packet);
    }

    unsigned int settlePackets = 2;
    bool streamLost = false;
};
