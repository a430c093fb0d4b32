#pragma once

// IPv4 address of the basestation, fixed when the library is built
// (CMake cache variable TOLMAREN_BASESTATION_ADDRESS, default 127.0.0.1).
// The configuration link (port 1235) and the data link (port 1234) share it.
extern const char* const tolmarenBasestationAddress;
