#pragma once

#include "registers/t_uart_error_flags.h"
#include "registers/t_uart_settings.h"
#include "vci/SingleAddress.h"

// The basestation's bridge to the headstage's serial link: transmit and
// receive FIFO ports, their accelerated variants, settings and error flags.
class t_vci2uart {
public:
    t_vci2uart(unsigned int base, VciInterface* vci);

    unsigned int base_;
    SingleAddress rx_data;
    SingleAddress tx_data;
    SingleAddress rx_count;
    SingleAddress vci2uart_word3;
    t_uart_settings uart_settings;
    t_uart_error_flags uart_error_flags;
    SingleAddress rx_accel;
    SingleAddress tx_accel;
    SingleAddress shift_fifo;
};
