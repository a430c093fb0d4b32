#include "sim/ShiftRegister.h"

namespace tolmaren_sim {

bool ShiftRegister::shift(bool in) {
    if (bits_.empty()) return false;
    const bool out = bits_[head_];
    bits_[head_] = in;
    head_ = (head_ + 1) % bits_.size();
    return out;
}

std::vector<bool> ShiftRegister::contents() const {
    std::vector<bool> result(bits_.size());
    for (std::size_t i = 0; i < bits_.size(); ++i)
        result[i] = bits_[(head_ + i) % bits_.size()];
    return result;
}

} // namespace tolmaren_sim
