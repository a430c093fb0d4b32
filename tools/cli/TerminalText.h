#pragma once

#include <string>

// Text from a file, made safe to print on a terminal: a control character
// (C0, DEL or C1, which can move the cursor, retitle the window or answer
// with keystrokes) and a byte that is not part of valid UTF-8 are each shown
// as \xNN, one escape per byte.
class TerminalText {
public:
    static std::string escape(const std::string& text);
};
