#pragma once

#include "registers/field_uart_error_flags.h"

// Holds the UART error flags register of the serial-link bridge.
class t_uart_error_flags {
public:
    t_uart_error_flags(unsigned int base, VciInterface* vci)
        : base_(base), flags(4 * base + 0x00, vci) {}

    unsigned int base_;
    field_uart_error_flags flags;
};
