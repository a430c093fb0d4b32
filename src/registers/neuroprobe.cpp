#include "registers/neuroprobe.h"

neuroprobe::neuroprobe(unsigned int base, VciInterface* vci)
    : base_(base), tolmaren_cfg(base + 0, vci), tolmaren_reset(base + 1029, vci),
      reorder(base + 1030, vci), lcd_control(base + 1032, vci), vci2uart(base + 1040, vci),
      data_generator(base + 1056, vci), leddrv_core(base + 1060, vci), dma(base + 1088, vci),
      deserializer_intf(base + 1152, vci), scale(base + 2048, vci) {}
