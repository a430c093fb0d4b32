#include "vci/SingleAddress.h"

unsigned long long SingleAddress::read() const {
    if (buffered_)
        return value_;
    return vci_->vciRead(address_);
}

void SingleAddress::write(unsigned long long value) const {
    if (buffered_) {
        value_ = value;
        return;
    }
    // Registers are one 32-bit word: callers that pass wider or sign-extended
    // values rely on the upper half being dropped here.
    vci_->vciWrite(address_, static_cast<unsigned int>(value));
}
