#pragma once

#include "vci/SingleAddress.h"

// One bit of a register, read through the register that contains it. The
// containing register rebuilds its fields when copied, so that a copy's bits
// never refer to the register it was copied from.
class field_bit {
public:
    field_bit(const SingleAddress& owner, unsigned int position, unsigned long long mask)
        : owner_(owner), position_(position), mask_(mask) {}

    unsigned long long read() const { return (owner_.read() & mask_) >> position_; }

private:
    const SingleAddress& owner_;
    unsigned int position_;
    unsigned long long mask_;
};
