#pragma once

#include "sim/AdcCalibrationModel.h"
#include "sim/AnalogueSetup.h"
#include "sim/DataSettings.h"
#include "sim/GeneratorSignalModel.h"
#include "sim/NeuralSignalModel.h"
#include "sim/ProbeTruth.h"

namespace tolmaren_sim {

// The probe's signal, whatever its source: the neural signals, the
// generator's sine on the electrodes or through their impedances, or the
// ADCs' calibration conversions. The data stream repeats a ring of it.
class ProbeSignalModel {
public:
    // A second: every sine setting of the generator has whole periods in it.
    static constexpr unsigned int generatorRingPackets = 2500;

    ProbeSignalModel(int probeType, const ProbeTruth& truth);

    // Packets in one ring of the source: NeuralSignalModel::ringPackets for
    // the neural signals and the comparator test, generatorRingPackets for
    // the sources the generator drives.
    static unsigned int ringPackets(const AnalogueSetup& analogue);
    // The codes of ring packets [firstPacket, firstPacket + packets) into
    // codes, sized for the whole ring (ap[block * 384 + channel],
    // lfp[packet * 384 + channel]). Without correction the basestation's gain
    // correction is left out (the probe's raw ADC output).
    void render(const DataSettings::Channels& setup, const AnalogueSetup& analogue, bool corrected,
                unsigned int firstPacket, unsigned int packets,
                NeuralSignalModel::Codes& codes) const;

private:
    NeuralSignalModel neural_;
    AdcCalibrationModel adcs_;
    GeneratorSignalModel generator_;
};

} // namespace tolmaren_sim
