#include "data/AdcPacket.h"

#include "link/Diagnostics.h"

AdcPacket::AdcPacket() : records() {}

void AdcPacket::printPacket() const {
    std::ostream& out = Diagnostics::stream();
    for (unsigned int r = 0; r < recordCount; ++r) {
        out << "ctr[" << r << "] = " << records[r].ctr << '\n';
        for (unsigned int a = 0; a < adcCount; ++a)
            out << "adcData[" << a << "] = " << records[r].adcData[a] << '\n';
    }
}
