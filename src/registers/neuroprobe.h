#pragma once

#include "registers/t_data_generator.h"
#include "registers/t_deserializer_intf.h"
#include "registers/t_dma.h"
#include "registers/t_lcd_control.h"
#include "registers/t_leddrv_core.h"
#include "registers/t_reorder.h"
#include "registers/t_scale.h"
#include "registers/t_tolmaren_cfg.h"
#include "registers/t_tolmaren_reset.h"
#include "registers/t_vci2uart.h"

// The basestation's register map, every block at its word base relative to
// base_. Holds only addresses and the (not owned) interface.
class neuroprobe {
public:
    neuroprobe(unsigned int base, VciInterface* vci);

    unsigned int base_;
    t_tolmaren_cfg tolmaren_cfg;
    t_tolmaren_reset tolmaren_reset;
    t_reorder reorder;
    t_lcd_control lcd_control;
    t_vci2uart vci2uart;
    t_data_generator data_generator;
    t_leddrv_core leddrv_core;
    t_dma dma;
    t_deserializer_intf deserializer_intf;
    t_scale scale;
};
