#pragma once

#include <string>

// The facade's status codes in words, by operation: the codes have no
// symbolic names, and a user needs to know which step failed. The one table
// of them, for the command-line tool, the Python module and applications.
class StatusText {
public:
    // What a nonzero code of the named facade operation means, for example
    // StatusText::of("tolmaren_setGain", 3) is "the value is out of range
    // (or the channel has no electrode in that bank)"; "status code N" for a
    // code the table lacks.
    static std::string of(const std::string& operation, unsigned int code);
};
