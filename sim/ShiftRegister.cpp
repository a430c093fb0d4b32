#include "sim/ShiftRegister.h"

namespace tolmaren_sim {

bool ShiftRegister::shift(bool in, const ChainFault* defect) {
    if (bits_.empty()) return false;
    const bool out = bits_[head_] != 0;
    bits_[head_] = in ? 1 : 0;
    // A bit at a time over whole chains: no division here.
    if (++head_ == bits_.size()) head_ = 0;
    if (defect != nullptr && defect->position < bits_.size()) {
        uint8_t& cell = bits_[(head_ + defect->position) % bits_.size()];
        switch (defect->defect) {
        case CellDefect::StuckAt0:
            cell = 0;
            break;
        case CellDefect::StuckAt1:
            cell = 1;
            break;
        case CellDefect::Inverting:
            cell ^= 1;
            break;
        }
    }
    return out;
}

uint8_t ShiftRegister::shiftByte(uint8_t data) {
    if (bits_.empty()) return 0;
    uint8_t out = 0;
    if (head_ + 8 < bits_.size()) {
        // Eight cells in a row, no wrap among them.
        uint8_t* const cells = &bits_[head_];
        for (unsigned int bit = 0; bit < 8; ++bit) {
            out |= static_cast<uint8_t>(cells[bit] << bit);
            cells[bit] = static_cast<uint8_t>((data >> bit) & 1u);
        }
        head_ += 8;
        return out;
    }
    for (unsigned int bit = 0; bit < 8; ++bit) {
        out |= static_cast<uint8_t>(bits_[head_] << bit);
        bits_[head_] = static_cast<uint8_t>((data >> bit) & 1u);
        if (++head_ == bits_.size()) head_ = 0;
    }
    return out;
}

std::vector<bool> ShiftRegister::contents() const {
    std::vector<bool> result(bits_.size());
    for (std::size_t i = 0; i < bits_.size(); ++i)
        result[i] = bits_[(head_ + i) % bits_.size()] != 0;
    return result;
}

} // namespace tolmaren_sim
