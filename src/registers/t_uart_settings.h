#pragma once

#include "vci/SingleAddress.h"

// Settings of the basestation's UART towards the headstage.
class t_uart_settings {
public:
    t_uart_settings(unsigned int base, VciInterface* vci)
        : base_(base), uart_setting0(4 * base + 0x00, vci), parity_enable(4 * base + 0x04, vci) {}

    unsigned int base_;
    SingleAddress uart_setting0;
    SingleAddress parity_enable;
};
