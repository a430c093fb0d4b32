#include "vci/VciDummy.h"

#include "link/Diagnostics.h"

void VciDummy::vciWrite(unsigned int address, unsigned int data) {
    registers_[address] = data;
    Diagnostics::stream() << "vciWrite " << std::hex << address << ' ' << data << std::dec << '\n';
}

unsigned int VciDummy::vciRead(unsigned int address) {
    // Looking up with insertion makes a never-written register read 0.
    const unsigned int value = registers_[address];
    Diagnostics::stream() << "vciRead " << std::hex << address << ' ' << value << std::dec << '\n';
    return value;
}

unsigned int VciDummy::getVciDataWidth() const {
    Diagnostics::stream() << "getVciDataWidth\n";
    return 32;
}
