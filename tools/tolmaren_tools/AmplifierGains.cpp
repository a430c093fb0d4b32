#include "tolmaren_tools/AmplifierGains.h"

#include <string>

#include "tolmaren_tools/ToolError.h"

namespace tolmaren_tools {

double AmplifierGains::factor(unsigned int code) {
    static const double factors[codes] = {50, 125, 250, 500, 1000, 1500, 2000, 3000};
    if (code >= codes) throw ToolError("gain code " + std::to_string(code) + " is not 0 to 7");
    return factors[code];
}

} // namespace tolmaren_tools
