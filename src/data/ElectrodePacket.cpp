#include "data/ElectrodePacket.h"

#include "link/Diagnostics.h"

ElectrodePacket::ElectrodePacket()
    : startTrigger(), synchronization(), ctrs(), lfpData(), apData() {}

void ElectrodePacket::printPacket() const {
    std::ostream& out = Diagnostics::stream();
    out << "startTrigger =";
    for (unsigned int b = 0; b < blockCount; ++b)
        out << ' ' << (startTrigger[b] ? 1 : 0);
    out << "\nsynchronization =";
    for (unsigned int b = 0; b < blockCount; ++b)
        out << ' ' << synchronization[b];
    for (unsigned int k = 0; k < counterCount; ++k) {
        out << "\nctrs[" << k << "] =";
        for (unsigned int b = 0; b < blockCount; ++b)
            out << ' ' << ctrs[b][k];
    }
    for (unsigned int c = 0; c < channelCount; ++c)
        out << "\nlfpData[" << c << "] = " << lfpData[c] << '\n';
    for (unsigned int c = 0; c < channelCount; ++c) {
        out << "\napData[" << c << "] =";
        for (unsigned int b = 0; b < blockCount; ++b)
            out << ' ' << apData[b][c];
    }
}
