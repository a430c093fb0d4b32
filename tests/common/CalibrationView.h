#pragma once

#include "api/Tolmaren_basestation_api.h"

// The facade with its calibration members in view, to check what the open
// and the EEPROM operations leave in them.
class CalibrationView : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::adcCompCalibration_;
    using Tolmaren_basestation_api::adcOffsetCalibrationRun_;
    using Tolmaren_basestation_api::adcPairCommonCalibration_;
    using Tolmaren_basestation_api::adcSlopeCalibrationRun_;
    using Tolmaren_basestation_api::comparatorCalibrationRun_;
    using Tolmaren_basestation_api::gainCalibrationRun_;
    using Tolmaren_basestation_api::gainCorrectionCalibration_;
};
