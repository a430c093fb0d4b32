#pragma once

#include "vci/VciInterface.h"

// One basestation register bound to an interface it does not own. Buffered
// copies (the UART error flags) read and write their own value instead.
class SingleAddress {
public:
    SingleAddress() = default;
    SingleAddress(unsigned int address, VciInterface* vci) : address_(address), vci_(vci) {}

    unsigned long long read() const;
    void write(unsigned long long value) const;
    unsigned int getAddress() const { return address_; }
    VciInterface* getVciInterface() const { return vci_; }

protected:
    // Mutable so that a snapshot can be written back through a const object.
    mutable bool buffered_ = false;
    mutable unsigned long long value_ = 0;
    unsigned int address_ = 0;
    VciInterface* vci_ = nullptr;
};
