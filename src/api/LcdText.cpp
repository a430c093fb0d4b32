#include "api/LcdText.h"

#include <stdexcept>

std::array<uint32_t, 4> LcdText::registerWords(const std::string& line) {
    if (line.size() != lineLength)
        throw std::invalid_argument("a display line holds exactly 16 characters");
    std::array<uint32_t, 4> words{};
    for (std::size_t group = 0; group < 4; ++group) {
        uint32_t word = 0;
        for (std::size_t c = 0; c < 4; ++c)
            word = (word << 8) | static_cast<unsigned char>(line[4 * group + c]);
        // Group 3 goes to the first register of the line.
        words[3 - group] = word;
    }
    return words;
}
