#include "recording/AmplifierGains.h"

#include <string>

#include "recording/ToolError.h"

namespace tolmaren_recording {

double AmplifierGains::factor(unsigned int code) {
    static const double factors[codes] = {50, 125, 250, 500, 1000, 1500, 2000, 3000};
    if (code >= codes) throw ToolError("gain code " + std::to_string(code) + " is not 0 to 7");
    return factors[code];
}

} // namespace tolmaren_recording
