#include "registers/t_vci2uart.h"

t_vci2uart::t_vci2uart(unsigned int base, VciInterface* vci)
    : base_(base), rx_data(4 * base + 0x00, vci), tx_data(4 * base + 0x04, vci),
      rx_count(4 * base + 0x08, vci), vci2uart_word3(4 * base + 0x0C, vci),
      uart_settings(base + 4, vci), uart_error_flags(base + 6, vci), rx_accel(4 * base + 0x1C, vci),
      tx_accel(4 * base + 0x20, vci), shift_fifo(4 * base + 0x24, vci) {}
