#include "cli/TerminalText.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence that starts with this byte; 0 for a byte
// that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

} // namespace

std::string TerminalText::escape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        std::size_t length = sequenceLength(byte(i));
        for (std::size_t k = 1; k < length; ++k)
            if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) length = 0;
        // C1 controls are U+0080 to U+009F: 0xC2 followed by 0x80 to 0x9F.
        const bool control = byte(i) < 0x20 || byte(i) == 0x7F ||
                             (length == 2 && byte(i) == 0xC2 && byte(i + 1) < 0xA0);
        if (length > 0 && !control) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        for (std::size_t k = 0; k < (length > 0 ? length : 1); ++k) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte(i + k));
            out += escaped;
        }
        i += length > 0 ? length : 1;
    }
    return out;
}
