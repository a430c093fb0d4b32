#pragma once

#include <string>

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_recording {

// A facade operation's failure as the front ends report it, on the library's
// table of the status codes in words (StatusText).
class StatusWords {
public:
    // "<operation> failed: <StatusText::of(operation, code)> (code N)".
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
