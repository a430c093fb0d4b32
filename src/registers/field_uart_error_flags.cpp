#include "registers/field_uart_error_flags.h"

#include <stdexcept>

field_uart_error_flags::field_uart_error_flags()
    : error_bit0(*this, 0, 0x1), error_bit1(*this, 1, 0x2), error_bit2(*this, 2, 0x4),
      error_bit3(*this, 3, 0x8) {}

field_uart_error_flags::field_uart_error_flags(unsigned int address, VciInterface* vci)
    : SingleAddress(address, vci), error_bit0(*this, 0, 0x1), error_bit1(*this, 1, 0x2),
      error_bit2(*this, 2, 0x4), error_bit3(*this, 3, 0x8) {}

field_uart_error_flags::field_uart_error_flags(const field_uart_error_flags& other)
    : field_uart_error_flags(other.address_, other.vci_) {}

// Builds the snapshot in place, so the result is buffered whether or not the
// compiler elides the return copy (the copy constructor would drop the buffer).
field_uart_error_flags::field_uart_error_flags(const field_uart_error_flags& source,
                                               unsigned int snapshot)
    : field_uart_error_flags(source) {
    buffered_ = true;
    value_ = snapshot;
}

field_uart_error_flags field_uart_error_flags::readall() const {
    return field_uart_error_flags(*this, vci_->vciRead(address_));
}

void field_uart_error_flags::writeall() const {
    if (!buffered_) throw std::runtime_error("writeall not allowed, first do readall");
    buffered_ = false;
    write(value_);
}
