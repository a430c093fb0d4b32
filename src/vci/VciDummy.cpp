#include "vci/VciDummy.h"

#include <iostream>

void VciDummy::vciWrite(unsigned int address, unsigned int data) {
    registers_[address] = data;
    std::cerr << "vciWrite " << std::hex << address << ' ' << data << std::dec << '\n';
}

unsigned int VciDummy::vciRead(unsigned int address) {
    // Looking up with insertion makes a never-written register read 0.
    const unsigned int value = registers_[address];
    std::cerr << "vciRead " << std::hex << address << ' ' << value << std::dec << '\n';
    return value;
}

unsigned int VciDummy::getVciDataWidth() const {
    std::cerr << "getVciDataWidth\n";
    return 32;
}
