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

bool ShiftWords::matches(const std::vector<unsigned short>& words,
                         const std::vector<unsigned char>& bytes, std::size_t bits) {
    const std::size_t count = wordCount(bits);
    if (words.size() != count) return false;
    if (count == 0) return true;
    // Captured byte k holds chain bits 8k to 8k + 7: the upper m bits of word
    // k followed by the lower 8 - m bits of word k + 1; the last byte only m.
    const unsigned int m = static_cast<unsigned int>((bits - 1) % 8 + 1);
    for (std::size_t k = 0; k < count; ++k) {
        unsigned int expected = (words[k] & 0xFFu) >> (8 - m);
        unsigned int mask = (1u << m) - 1;
        if (k + 1 < count) {
            expected |= (words[k + 1] << m) & 0xFFu;
            mask = 0xFFu;
        }
        const unsigned int captured = k < bytes.size() ? bytes[k] : 0u;
        if ((captured & mask) != expected) return false;
    }
    return true;
}
