#pragma once

#include <string>

namespace tolmaren_recording {

// The facade's status codes in words, by operation: the codes have no
// symbolic names, and a user needs to know which step failed.
class StatusWords {
public:
    // What a nonzero code of the named facade operation (for example
    // "tolmaren_open") means; "status code N" for codes the table lacks.
    static std::string meaning(const std::string& operation, unsigned int code);
    // "<operation> failed: <meaning> (code N)".
    static std::string failure(const std::string& operation, unsigned int code);
    // Throws StatusError carrying failure() unless code is 0.
    static void check(const std::string& operation, unsigned int code);
};

} // namespace tolmaren_recording
