#include "sim/Eeprom.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace tolmaren_sim {

Eeprom::Eeprom(std::string file) : file_(std::move(file)) {
    bytes_.fill(0xFF);
    if (file_.empty()) return;
    std::ifstream in(file_, std::ios::binary);
    if (!in) return; // created on the first write
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read EEPROM file " + file_);
    if (data.size() != size)
        throw std::runtime_error("EEPROM file " + file_ + " holds " + std::to_string(data.size()) +
                                 " bytes, expected 2048");
    for (std::size_t i = 0; i < size; ++i)
        bytes_[i] = static_cast<uint8_t>(data[i]);
    loaded_ = true;
}

bool Eeprom::write(std::size_t address, uint8_t value) {
    bytes_[address] = value;
    return save();
}

bool Eeprom::save() const {
    if (file_.empty()) return true;
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), size);
    return static_cast<bool>(out);
}

} // namespace tolmaren_sim
