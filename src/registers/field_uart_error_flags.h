#pragma once

#include "registers/field_bit.h"
#include "vci/SingleAddress.h"

// The UART error flags register with its four error bits. readall() takes one
// snapshot from the interface; the bits of the snapshot then cost no traffic,
// and writeall() sends the snapshot's (possibly changed) value back once.
class field_uart_error_flags : public SingleAddress {
public:
    field_uart_error_flags();
    field_uart_error_flags(unsigned int address, VciInterface* vci);
    // A copy reaches the same register but starts unbuffered.
    field_uart_error_flags(const field_uart_error_flags& other);
    // The bits refer to their own register, so one register cannot take over
    // another's identity.
    field_uart_error_flags& operator=(const field_uart_error_flags&) = delete;

    field_uart_error_flags readall() const;
    void writeall() const;

    field_bit error_bit0;
    field_bit error_bit1;
    field_bit error_bit2;
    field_bit error_bit3;

private:
    field_uart_error_flags(const field_uart_error_flags& source, unsigned int snapshot);
};
