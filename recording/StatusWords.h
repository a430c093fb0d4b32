#pragma once

#include <string>

#include "api/Tolmaren_basestation_api.h"

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
    // failure() of tolmaren_open, which for a connection that could not be
    // made (codes 1 and 2) names the address, the port and the system's
    // reason: "tolmaren_open failed: no connection to the basestation's
    // configuration port at 127.0.0.1:1235: Connection refused (errno 111)
    // (code 2)", followed by the hint when nothing listened there.
    static std::string openFailure(Tolmaren_basestation_api& api, unsigned int code,
                                   const std::string& refusedHint);
    // "no connection to the basestation's data port at 10.1.1.2:1234:
    // Connection timed out (errno 110)".
    static std::string connectionFailure(const ConnectionFailure& failure);
};

} // namespace tolmaren_recording
