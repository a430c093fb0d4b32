#pragma once

#include <cstdint>

struct VersionNumber {
    uint16_t major = 0;
    uint16_t minor = 0;
};
