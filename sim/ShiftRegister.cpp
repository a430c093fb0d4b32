#include "sim/ShiftRegister.h"

namespace tolmaren_sim {

bool ShiftRegister::shift(bool in, const ChainFault* defect) {
    if (bits_.empty()) return false;
    const bool out = bits_[head_];
    bits_[head_] = in;
    // A bit at a time over whole chains: no division here.
    if (++head_ == bits_.size()) head_ = 0;
    if (defect != nullptr && defect->position < bits_.size()) {
        auto cell = bits_[(head_ + defect->position) % bits_.size()];
        switch (defect->defect) {
        case CellDefect::StuckAt0:
            cell = false;
            break;
        case CellDefect::StuckAt1:
            cell = true;
            break;
        case CellDefect::Inverting:
            cell = !cell;
            break;
        }
    }
    return out;
}

std::vector<bool> ShiftRegister::contents() const {
    std::vector<bool> result(bits_.size());
    for (std::size_t i = 0; i < bits_.size(); ++i)
        result[i] = bits_[(head_ + i) % bits_.size()];
    return result;
}

} // namespace tolmaren_sim
