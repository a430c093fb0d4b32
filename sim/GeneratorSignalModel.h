#pragma once

#include "sim/AnalogueSetup.h"
#include "sim/DataSettings.h"
#include "sim/NeuralSignalModel.h"
#include "sim/ProbeTruth.h"

namespace tolmaren_sim {

// The channels while the headstage's signal generator drives the probe.
// AP sample n is taken at n / 30000 s, LFP sample m at 12 m / 30000 s; the
// LFP band passes the sine only up to lfpBandEdge. Sines of every frequency
// setting have whole periods in a second, the length of the ring.
//
// Bath (mode 1 or 3): the generator's sine (s(t) = peak sin(2 pi f t), its DC
// level blocked by the bands' high-pass filters) reaches every connected
// electrode that is not a reference electrode, scaled by the electrode's gain
// factor k (ProbeTruth), on top of the electrode noise of the neural model:
//   code = 512 + round((k s(t) + noise) x gain x correction / 512 / (1.2 V / 1023))
// with the gain of the channel's gain code and the basestation's correction.
// A type 1 probe takes the bath through an attenuation of type1BathDivisor,
// which the host's gain calibration undoes for that type.
//
// Impedance (mode 2): the sine drives a test current of amplitude
// I = testCurrentPerVolt x peak into the electrode, whose impedance Z
// (ProbeTruth) lies in parallel with parallelCapacitance. The channel's
// output, in volts at the ADC and regardless of its gain code, is
//   B sin(2 pi f t) + noise, B = I / (1/Z + 2 pi f parallelCapacitance) / k,
// scaled by the correction like every channel; the noise has a standard
// deviation of impedanceNoiseCodes codes. At 1 kHz and 5 mV peak, I is
// 0.45 nA, so that A / (1/k) / 0.45 nA = 1 / (1/Z + 4.398e-9 S): the relation
// the host's impedance formula inverts when handed the gain correction
// 512 / k over 512. Channels without an electrode carry the noise only.
class GeneratorSignalModel {
public:
    static constexpr double testCurrentPerVolt = 9e-8;     // 0.45 nA at 5 mV peak
    static constexpr double parallelCapacitance = 0.7e-12; // farads
    static constexpr double impedanceNoiseCodes = 0.6;
    static constexpr double lfpBandEdge = 500; // hertz
    static constexpr double type1BathDivisor = 2.1;

    GeneratorSignalModel(int probeType, const ProbeTruth& truth);

    // The codes of ring packets [firstPacket, firstPacket + packets); codes
    // must be sized for the ring. Without correction the basestation's gain
    // correction is left out (the probe's raw ADC output).
    void render(const DataSettings::Channels& setup, const AnalogueSetup& analogue, bool corrected,
                unsigned int firstPacket, unsigned int packets,
                NeuralSignalModel::Codes& codes) const;

private:
    // Volts of the sine that the channel's electrode contributes per volt
    // of the generator's sine: k in the bath (k / 2.1 on probe type 1), B /
    // peak in impedance mode.
    double sineFactor(const ChannelSetup& channel, const AnalogueSetup& analogue) const;

    int probeType_;
    const ProbeTruth& truth_;
};

} // namespace tolmaren_sim
