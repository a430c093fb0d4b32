#include "sim/ProbeSignalModel.h"

#include <algorithm>

namespace tolmaren_sim {

ProbeSignalModel::ProbeSignalModel(int probeType, const ProbeTruth& truth)
    : neural_(probeType), adcs_(truth), generator_(probeType, truth) {}

unsigned int ProbeSignalModel::ringPackets(const AnalogueSetup& analogue) {
    using Source = AnalogueSetup::Source;
    return analogue.source == Source::Neural || analogue.source == Source::ComparatorTest
               ? NeuralSignalModel::ringPackets
               : generatorRingPackets;
}

void ProbeSignalModel::render(const DataSettings::Channels& setup, const AnalogueSetup& analogue,
                              bool corrected, unsigned int firstPacket, unsigned int packets,
                              NeuralSignalModel::Codes& codes) const {
    using Source = AnalogueSetup::Source;
    if (analogue.source == Source::Neural) {
        neural_.render(setup, corrected, firstPacket, packets, codes);
        return;
    }
    const unsigned int ring = ringPackets(analogue);
    codes.ap.resize(std::size_t(ring) * 12 * NeuralSignalModel::channels);
    codes.lfp.resize(std::size_t(ring) * NeuralSignalModel::channels);
    packets = std::min(packets, ring - std::min(firstPacket, ring));
    if (analogue.source == Source::AdcConversion || analogue.source == Source::ComparatorTest)
        adcs_.render(analogue, firstPacket, packets, codes);
    else
        generator_.render(setup, analogue, corrected, firstPacket, packets, codes);
}

} // namespace tolmaren_sim
