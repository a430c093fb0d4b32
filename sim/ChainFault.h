#pragma once

#include <cstddef>

namespace tolmaren_sim {

enum class CellDefect {
    StuckAt0,
    StuckAt1,
    Inverting, // every bit that passes the cell comes out inverted
};

// A defective cell of one of the probe's configuration chains (0 base, 1
// shank, 2 test). Position 0 is the output end. Every bit that moves through
// the cell takes its defect, so after a full write the positions from 0 up to
// the cell are affected, and everything shifted out after passing it too.
struct ChainFault {
    unsigned int chain = 0;
    std::size_t position = 0;
    CellDefect defect = CellDefect::StuckAt1;
};

} // namespace tolmaren_sim
