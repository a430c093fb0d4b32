#pragma once

#include "vci/SingleAddress.h"

// The FPGA's own version, at the very start of the configuration block.
class t_fpga_version {
public:
    t_fpga_version(unsigned int base, VciInterface* vci);

    unsigned int base_;
    SingleAddress major;
    SingleAddress minor;
};
