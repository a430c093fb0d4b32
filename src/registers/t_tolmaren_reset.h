#pragma once

#include "vci/SingleAddress.h"

// Basestation reset, pulsed at the start of the open sequence.
class t_tolmaren_reset {
public:
    t_tolmaren_reset(unsigned int base, VciInterface* vci)
        : base_(base), reset(4 * base + 0x00, vci) {}

    unsigned int base_;
    SingleAddress reset;
};
