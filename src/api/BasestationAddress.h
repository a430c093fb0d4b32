#pragma once

#include <string>

// The basestation's IPv4 address, which the configuration link (port 1235)
// and the data link (port 1234) share. A facade connects to the address the
// application gives it (tolmaren_setBasestationAddress), else to the one the
// environment variable names, else to the one the library was built with.
class BasestationAddress {
public:
    static constexpr const char* environmentVariable = "TOLMAREN_BASESTATION_ADDRESS";

    // True for an IPv4 address in dotted decimal: four numbers from 0 to 255
    // without signs, blanks or leading zeros ("192.168.0.2"). Names and the
    // shortened or octal forms that some resolvers take are refused, so that
    // an address never means something else than it says.
    static bool isValid(const std::string& text);
    // The environment variable's value when it is set and not empty, else the
    // address the library was built with; not checked.
    static std::string fromEnvironment();
};

// The address the library was built with (CMake cache variable
// TOLMAREN_BASESTATION_ADDRESS, default 127.0.0.1).
extern const char* const tolmarenBasestationAddress;
