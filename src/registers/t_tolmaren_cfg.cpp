#include "registers/t_tolmaren_cfg.h"

// Byte offset 0x14 holds no register.
t_tolmaren_cfg::t_tolmaren_cfg(unsigned int base, VciInterface* vci)
    : base_(base), fpga_version(base, vci), datamode(4 * base + 0x08, vci),
      temperature(4 * base + 0x0C, vci), datapath_reset(4 * base + 0x10, vci),
      cfg_word6(4 * base + 0x18, vci), channel_to_electrode{4 * base + 0x1C, 4, vci},
      bs_sw_hbeat(4 * base + 0x1000, vci), supply(4 * base + 0x1004, vci),
      bs_version(4 * base + 0x1008, vci), bs_revision(4 * base + 0x100C, vci),
      bypass_datapath(4 * base + 0x1010, vci) {}
