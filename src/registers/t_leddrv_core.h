#pragma once

#include "vci/SingleAddress.h"

// The basestation's LEDs, one bit each.
class t_leddrv_core {
public:
    t_leddrv_core(unsigned int base, VciInterface* vci) : base_(base), leds(4 * base + 0x00, vci) {}

    unsigned int base_;
    SingleAddress leds;
};
