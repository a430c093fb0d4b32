#pragma once

#include "vci/SingleAddress.h"

// Data reorder settings of the basestation.
class t_reorder {
public:
    t_reorder(unsigned int base, VciInterface* vci)
        : base_(base), reorder_word0(4 * base + 0x00, vci), reorder_word1(4 * base + 0x04, vci) {}

    unsigned int base_;
    SingleAddress reorder_word0;
    SingleAddress reorder_word1;
};
