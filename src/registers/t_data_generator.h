#pragma once

#include "vci/SingleAddress.h"

// The basestation's built-in test data generator.
class t_data_generator {
public:
    t_data_generator(unsigned int base, VciInterface* vci)
        : base_(base), enable(4 * base + 0x00, vci), param(4 * base + 0x04, vci),
          pow2_param(4 * base + 0x08, vci) {}

    unsigned int base_;
    SingleAddress enable;
    SingleAddress param;
    SingleAddress pow2_param;
};
