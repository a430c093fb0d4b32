#include "data/AdcRecord.h"

#include "data/DataWord.h"

BlockProgress AdcRecord::decode(const unsigned char* record, uint32_t& counter,
                                uint16_t (&codes)[adcs]) {
    BlockProgress progress;
    const uint32_t word = DataWord::load(record);
    if (!DataWord::isCounter(word)) return progress;
    counter = DataWord::counterValue(word);
    progress.counters = 1;
    for (unsigned int a = 0; a < adcs; ++a) {
        const uint32_t data = DataWord::load(record + 4 + 4 * (a / 3));
        if ((data >> 30) != 0) return progress;
        codes[a] = static_cast<uint16_t>(DataWord::code(data, a % 3));
        progress.dataCodes = a + 1;
    }
    // The padding code's word was checked with the codes it carries.
    progress.passed = true;
    return progress;
}
