#pragma once

#include "api/Tolmaren_basestation_api.h"
#include "vci/VciDummy.h"

// The facade with the members that the neural-data operations depend on
// within reach: the probe type, the data mode and the links.
class DataTestApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::dataLink_;
    using Tolmaren_basestation_api::datamodel_;
    using Tolmaren_basestation_api::dummyMode_;
    using Tolmaren_basestation_api::gainCalibrationRun_;
    using Tolmaren_basestation_api::gainCorrectionCalibration_;

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
