#pragma once

#include <string>

// A connection to the basestation that could not be made.
struct ConnectionFailure {
    std::string address;     // the basestation address tried
    unsigned short port = 0; // 1235 the configuration link, 1234 the data link
    // The system's error number: ECONNREFUSED (nothing listens there),
    // ETIMEDOUT (nothing answered), EHOSTUNREACH, ENETUNREACH, ...; 0 when
    // no connection was tried.
    int errorNumber = 0;
    // The system's text for the error number, else what kept the connection
    // from being tried ("not a numeric IPv4 address").
    std::string reason;
};
