#include "api/CsvNumber.h"

#include <charconv>

namespace {

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(const char* p, const char* end) {
    return p < end && *p >= '0' && *p <= '9';
}

// Where from_chars is to start reading the number: at its minus sign if it
// has one, after a plus sign (which from_chars does not take). Null when no
// digit (or, with `fraction`, no point and digit) follows the sign.
const char* numberStart(const std::string& cell, bool fraction) {
    const char* p = cell.data();
    const char* end = p + cell.size();
    while (p < end && isBlank(*p))
        ++p;
    const char* from = p;
    if (p < end && *p == '-')
        ++p;
    else if (p < end && *p == '+')
        from = ++p;
    const bool point = fraction && p < end && *p == '.' && isDigit(p + 1, end);
    return isDigit(p, end) || point ? from : nullptr;
}

} // namespace

bool CsvNumber::integer(const std::string& cell, long long& value) {
    const char* from = numberStart(cell, false);
    if (from == nullptr) return false;
    const auto result = std::from_chars(from, cell.data() + cell.size(), value);
    return result.ec == std::errc();
}

bool CsvNumber::real(const std::string& cell, double& value) {
    const char* from = numberStart(cell, true);
    if (from == nullptr) return false;
    const auto result =
        std::from_chars(from, cell.data() + cell.size(), value, std::chars_format::general);
    return result.ec == std::errc();
}
