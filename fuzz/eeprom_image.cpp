// The simulator's EEPROM image reader on any file content: it loads exactly
// a 2048-byte image, byte for byte, or refuses it with std::runtime_error.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "sim/Eeprom.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                    "/fuzz_eeprom_" + std::to_string(getpid()) + ".bin";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        const tolmaren_sim::Eeprom eeprom(path);
        if (size != tolmaren_sim::Eeprom::size || !eeprom.loadedFromFile() ||
            std::memcmp(eeprom.contents().data(), data, size) != 0)
            std::abort();
    } catch (const std::runtime_error&) {
        if (size == tolmaren_sim::Eeprom::size) std::abort();
    }
    return 0;
}
