#include "api/BasestationAddress.h"

#include <cstdlib>

const char* const tolmarenBasestationAddress = TOLMAREN_BASESTATION_ADDRESS;

bool BasestationAddress::isValid(const std::string& text) {
    constexpr int parts = 4;
    std::size_t at = 0;
    for (int part = 0; part < parts; ++part) {
        if (part > 0 && (at == text.size() || text[at++] != '.')) return false;
        const std::size_t start = at;
        unsigned int value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3)
            value = value * 10 + static_cast<unsigned int>(text[at++] - '0');
        const std::size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return false;
    }
    return at == text.size();
}

std::string BasestationAddress::fromEnvironment() {
    const char* const chosen = std::getenv(environmentVariable);
    return chosen != nullptr && *chosen != '\0' ? chosen : tolmarenBasestationAddress;
}
