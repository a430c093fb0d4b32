#include "config/ShiftWords.h"

// Whole chains pass through here on every write: the bits are walked with
// iterators and set without branches.
std::vector<unsigned short> ShiftWords::pack(const std::vector<bool>& chain, bool capture) {
    const std::size_t n = chain.size();
    std::vector<unsigned short> words(wordCount(n), capture ? captureFlag : 0);
    if (n == 0) return words;
    auto bit = chain.begin();
    // Word 0 carries the remainder: its m chain bits end at position 7.
    const std::size_t m = ((n - 1) % 8) + 1;
    for (std::size_t j = 8 - m; j < 8; ++j, ++bit)
        words[0] |= static_cast<unsigned short>(static_cast<unsigned int>(*bit) << j);
    for (std::size_t w = 1; w < words.size(); ++w) {
        unsigned int byte = 0;
        for (unsigned int p = 0; p < 8; ++p, ++bit)
            byte |= static_cast<unsigned int>(*bit) << p;
        words[w] |= static_cast<unsigned short>(byte);
    }
    return words;
}

void ShiftWords::unpack(const std::vector<unsigned char>& bytes, std::vector<bool>& chain) {
    auto bit = chain.begin();
    for (std::size_t i = 0, k = 0; i < chain.size(); ++k) {
        const unsigned int byte = k < bytes.size() ? bytes[k] : 0u;
        for (unsigned int p = 0; p < 8 && i < chain.size(); ++p, ++i, ++bit)
            *bit = ((byte >> p) & 1u) != 0;
    }
}
