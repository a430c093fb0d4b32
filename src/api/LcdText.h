#pragma once

#include <array>
#include <cstdint>
#include <string>

// One 16-character line of the basestation display as the four register
// words that hold it, in the order of the display registers: the last four
// characters first. Each word holds four 8-bit character codes, the first
// character in bits 31..24.
class LcdText {
public:
    static constexpr std::size_t lineLength = 16;

    // The line must hold exactly lineLength characters.
    static std::array<uint32_t, 4> registerWords(const std::string& line);
};
