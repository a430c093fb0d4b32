#include "data/AdcPacket.h"

#include "data/DataWord.h"
#include "link/Diagnostics.h"

namespace {

constexpr unsigned int dataOffset = 4;
constexpr unsigned int dataWords = 11;
// The 11th word carries ADCs 30 and 31; its third code is padding and is
// never stored.
constexpr unsigned int fullWords = dataWords - 1;

} // namespace

AdcPacket::AdcPacket() : records() {}

bool AdcPacket::decode(const unsigned char* bytes) {
    for (unsigned int r = 0; r < recordCount; ++r) {
        const unsigned char* record = bytes + r * recordSize;
        const uint32_t counter = DataWord::load(record);
        if (!DataWord::isCounter(counter)) return false;
        records[r].ctr = DataWord::counterValue(counter);

        const unsigned int good = DataWord::validDataWords(record + dataOffset, dataWords);
        DataWord::decodeWords(record + dataOffset, good < fullWords ? good : fullWords,
                              records[r].adcData);
        if (good != dataWords) return false;
        const uint32_t last = DataWord::load(record + dataOffset + 4 * fullWords);
        records[r].adcData[3 * fullWords] = DataWord::toVolts(DataWord::code(last, 0));
        records[r].adcData[3 * fullWords + 1] = DataWord::toVolts(DataWord::code(last, 1));
    }
    return true;
}

void AdcPacket::printPacket() const {
    std::ostream& out = Diagnostics::stream();
    for (unsigned int r = 0; r < recordCount; ++r) {
        out << "ctr[" << r << "] = " << records[r].ctr << '\n';
        for (unsigned int a = 0; a < adcCount; ++a)
            out << "adcData[" << a << "] = " << records[r].adcData[a] << '\n';
    }
}
