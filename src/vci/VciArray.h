#pragma once

#include <stdexcept>

#include "vci/SingleAddress.h"

class VciInterface;

// N registers of type T spaced evenly from address_. The register map sets the
// three fields directly.
template <typename T, unsigned int N> class VciArray {
public:
    T operator[](unsigned int index) const {
        if (index >= N)
            throw std::runtime_error("index out of range");
        return T(address_ + index * increment_, vci_);
    }

    unsigned int address_ = 0;
    unsigned int increment_ = 4;
    VciInterface* vci_ = nullptr;
};
