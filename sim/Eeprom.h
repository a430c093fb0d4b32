#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tolmaren_sim {

// The headstage's 2048-byte serial EEPROM. When backed by a file, the file
// is read at construction and rewritten after every stored byte, so identity
// and calibration survive a restart. An erased EEPROM reads 0xFF.
class Eeprom {
public:
    static constexpr std::size_t size = 2048;
    using Contents = std::array<uint8_t, size>;

    // Throws std::runtime_error when the file exists but cannot be read or
    // does not hold exactly 2048 bytes.
    explicit Eeprom(std::string file = {});

    // Whether the content was read from an existing file.
    bool loadedFromFile() const { return loaded_; }
    const std::string& file() const { return file_; }

    // address must be below size.
    uint8_t read(std::size_t address) const { return bytes_[address]; }
    // Stores the byte (address below size); false when the backing file could
    // not be written.
    bool write(std::size_t address, uint8_t value);
    const Contents& contents() const { return bytes_; }

private:
    bool save() const;

    std::string file_;
    Contents bytes_;
    bool loaded_ = false;
};

} // namespace tolmaren_sim
