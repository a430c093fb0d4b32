#include "data/ElectrodePacket.h"

#include "data/DataWord.h"
#include "link/Diagnostics.h"

namespace {

// Byte offsets within an electrode block.
constexpr unsigned int counter0Offset = 4;
constexpr unsigned int lfpOffset = 8;
constexpr unsigned int lfpWords = 11;
constexpr unsigned int lfpCodes = 32;
constexpr unsigned int countersOffset = 52;
constexpr unsigned int apOffset = 100;
constexpr unsigned int apWords = 128;

// LFP code v of block b belongs to channel 24 * (v / 2) + 2 * b + v % 2: every
// block carries two neighbouring channels of each group of 24.
struct LfpChannelTable {
    unsigned short base[lfpCodes];
    constexpr LfpChannelTable() : base() {
        for (unsigned int v = 0; v < lfpCodes; ++v)
            base[v] = static_cast<unsigned short>(24 * (v / 2) + v % 2);
    }
};
constexpr LfpChannelTable lfpChannels;

} // namespace

ElectrodePacket::ElectrodePacket()
    : startTrigger(), synchronization(), ctrs(), lfpData(), apData() {}

bool ElectrodePacket::decodeBlock(unsigned int b, const unsigned char* block) {
    const uint32_t header = DataWord::load(block);
    synchronization[b] = DataWord::synchronization(header);
    startTrigger[b] = DataWord::startTrigger(header);
    if (DataWord::blockIndex(header) != b || !DataWord::isHeader(header)) return false;

    const uint32_t counter0 = DataWord::load(block + counter0Offset);
    if (!DataWord::isCounter(counter0)) return false;
    ctrs[b][0] = DataWord::counterValue(counter0);

    // The third code of the 11th word is padding and is never stored.
    const unsigned int goodLfpWords = DataWord::validDataWords(block + lfpOffset, lfpWords);
    const unsigned int lfpDecoded = goodLfpWords == lfpWords ? lfpCodes : 3 * goodLfpWords;
    for (unsigned int v = 0; v < lfpDecoded; ++v) {
        const uint32_t word = DataWord::load(block + lfpOffset + 4 * (v / 3));
        lfpData[lfpChannels.base[v] + 2 * b] = DataWord::toVolts(DataWord::code(word, v % 3));
    }
    if (goodLfpWords != lfpWords) return false;

    for (unsigned int k = 1; k < counterCount; ++k) {
        const uint32_t counter = DataWord::load(block + countersOffset + 4 * (k - 1));
        if (!DataWord::isCounter(counter)) return false;
        ctrs[b][k] = DataWord::counterValue(counter);
    }

    const unsigned int goodApWords = DataWord::validDataWords(block + apOffset, apWords);
    DataWord::decodeWords(block + apOffset, goodApWords, apData[b]);
    return goodApWords == apWords;
}

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
