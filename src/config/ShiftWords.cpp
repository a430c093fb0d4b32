#include "config/ShiftWords.h"

std::vector<unsigned short> ShiftWords::pack(const std::vector<bool>& chain, bool capture) {
    const std::size_t n = chain.size();
    std::vector<unsigned short> words(wordCount(n), capture ? captureFlag : 0);
    if (n == 0) return words;
    // Word 0 carries the remainder: its m chain bits end at position 7.
    const std::size_t m = ((n - 1) % 8) + 1;
    for (std::size_t j = 0; j < m; ++j)
        if (chain[j]) words[0] |= static_cast<unsigned short>(1u << (8 - m + j));
    for (std::size_t i = m; i < n; ++i)
        if (chain[i]) {
            const std::size_t offset = i - m;
            words[1 + offset / 8] |= static_cast<unsigned short>(1u << (offset % 8));
        }
    return words;
}

void ShiftWords::unpack(const std::vector<unsigned char>& bytes, std::vector<bool>& chain) {
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const std::size_t k = i / 8;
        chain[i] = k < bytes.size() && ((bytes[k] >> (i % 8)) & 1u) != 0;
    }
}
