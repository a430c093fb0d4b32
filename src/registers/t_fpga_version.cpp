#include "registers/t_fpga_version.h"

t_fpga_version::t_fpga_version(unsigned int base, VciInterface* vci)
    : base_(base), major(4 * base + 0x00, vci), minor(4 * base + 0x04, vci) {}
