#pragma once

#include <string>
#include <vector>

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_tools {

// All 2048 bytes of the headstage's EEPROM, read one by one through the
// facade.
class EepromImage {
public:
    static constexpr unsigned int bytes = 2048;

    // Throws StatusError at the first byte that cannot be read.
    static std::vector<unsigned char> read(Tolmaren_basestation_api& api);
    // Writes the bytes to a file, which appears only once complete; throws
    // ToolError.
    static void save(const std::vector<unsigned char>& image, const std::string& path);
};

} // namespace tolmaren_tools
