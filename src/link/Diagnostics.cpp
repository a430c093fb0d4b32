#include "link/Diagnostics.h"

#include <iostream>

namespace {

// A stream without a buffer: everything written to it is dropped.
std::ostream& silence() {
    static std::ostream sink(nullptr);
    return sink;
}

std::ostream* current = &std::cerr;

} // namespace

std::ostream& Diagnostics::stream() {
    return *current;
}

void Diagnostics::redirect(std::ostream* stream) {
    current = stream != nullptr ? stream : &silence();
}
