#include "data/AdcRecord.h"

#include "data/DataWord.h"

namespace {

constexpr unsigned int dataWords = 11;

} // namespace

BlockProgress AdcRecord::decode(const unsigned char* record, uint32_t& counter,
                                uint16_t (&codes)[adcs]) {
    BlockProgress progress;
    const uint32_t word = DataWord::load(record);
    if (!DataWord::isCounter(word)) return progress;
    counter = DataWord::counterValue(word);
    progress.counters = 1;
    // Markers are checked for the whole run at once, and word by word only
    // when that fails. The 11th word's third code is padding; its marker
    // counts all the same.
    uint32_t words[dataWords];
    uint32_t markers = 0;
    for (unsigned int k = 0; k < dataWords; ++k) {
        words[k] = DataWord::load(record + 4 + 4 * k);
        markers |= words[k];
    }
    unsigned int good = dataWords;
    if ((markers >> 30) != 0) {
        good = 0;
        while ((words[good] >> 30) == 0)
            ++good;
    }
    const unsigned int whole = good < dataWords ? good : dataWords - 1;
    for (unsigned int k = 0; k < whole; ++k) {
        codes[3 * k] = static_cast<uint16_t>(DataWord::code(words[k], 0));
        codes[3 * k + 1] = static_cast<uint16_t>(DataWord::code(words[k], 1));
        codes[3 * k + 2] = static_cast<uint16_t>(DataWord::code(words[k], 2));
    }
    if (good == dataWords) {
        codes[adcs - 2] = static_cast<uint16_t>(DataWord::code(words[dataWords - 1], 0));
        codes[adcs - 1] = static_cast<uint16_t>(DataWord::code(words[dataWords - 1], 1));
    }
    progress.dataCodes = good == dataWords ? adcs : 3 * good;
    progress.passed = good == dataWords;
    return progress;
}
