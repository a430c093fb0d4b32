#pragma once

#include "vci/SingleAddress.h"
#include "vci/VciArray.h"

// Per-channel gain-correction values, one register per channel or electrode
// (up to 966 on the largest shank).
class t_scale {
public:
    static constexpr unsigned int scaleCount = 966;

    t_scale(unsigned int base, VciInterface* vci) : base_(base), scale{4 * base + 0x00, 4, vci} {}

    unsigned int base_;
    VciArray<SingleAddress, scaleCount> scale;
};
