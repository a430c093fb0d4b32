#pragma once

#include <cstdint>

#include "sim/AnalogueSetup.h"
#include "sim/NeuralSignalModel.h"
#include "sim/ProbeTruth.h"

namespace tolmaren_sim {

// The ADCs in calibration mode. Record r (slot j = r mod 12 of block
// r div 12) is converted at r / 360000 s; ADC a's code of it goes where the
// stream carries ADC a in slot j, channel a + 32 j of the block. LFP codes
// repeat the conversion of the packet's first block.
//
// Converting (SarCal): the ADCs of a pair have the gain G and the offset O
// (ProbeTruth) of the pair's slope code and cfix, and the input is the
// generator's output V (0 while its channel is off):
//   code = round((0.6 V + G (V - 0.6 V) + O) / (1.2 V / 1023) + 0.5 n), within 0 to 1023,
// n standard normal noise, independent per ADC and record.
// Comparator test (TestOn, test settings 13 and 15): the comparator decides
// between two equal inputs, so each of a code's ten bits is 1 with the ADC's
// share of ones p (ProbeTruth, from compP and compN), independently.
class AdcCalibrationModel {
public:
    static constexpr double noiseCodes = 0.5; // standard deviation of a conversion
    static constexpr double midVolts = 0.6;   // the middle of the ADC's range, its gain's pivot
    static constexpr unsigned int recordsPerSecond = 360000;

    explicit AdcCalibrationModel(const ProbeTruth& truth) : truth_(truth) {}

    // The codes of ring packets [firstPacket, firstPacket + packets); codes
    // must be sized for the ring.
    void render(const AnalogueSetup& setup, unsigned int firstPacket, unsigned int packets,
                NeuralSignalModel::Codes& codes) const;

private:
    const ProbeTruth& truth_;
};

} // namespace tolmaren_sim
