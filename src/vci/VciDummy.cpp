#include "vci/VciDummy.h"

#include "link/Diagnostics.h"

VciDummy::VciDummy() : VciDummy(Diagnostics::sink()) {}

void VciDummy::vciWrite(unsigned int address, unsigned int data) {
    registers_[address] = data;
    diagnostics_.line() << "vciWrite " << std::hex << address << ' ' << data << '\n';
}

unsigned int VciDummy::vciRead(unsigned int address) {
    // Looking up with insertion makes a never-written register read 0.
    const unsigned int value = registers_[address];
    diagnostics_.line() << "vciRead " << std::hex << address << ' ' << value << '\n';
    return value;
}

unsigned int VciDummy::getVciDataWidth() const {
    diagnostics_.write("getVciDataWidth\n");
    return 32;
}
