#include "recording/JsonField.h"

#include <cmath>
#include <stdexcept>

namespace tolmaren_recording {

namespace {

// 2^63: every whole double below it, and from its negative up, is an int64_t.
constexpr double int64Limit = 9223372036854775808.0;
constexpr std::size_t longestShown = 60;

} // namespace

JsonField JsonField::operator[](const char* key) const {
    const std::string name = name_.empty() ? key : name_ + "." + key;
    if (!value_.is_object()) refuse("not an object");
    if (!value_.contains(key)) throw std::invalid_argument("no " + name);
    return {value_.at(key), name};
}

JsonField JsonField::element(std::size_t i, std::size_t size) const {
    if (!value_.is_array() || value_.size() != size)
        refuse("not a list of " + std::to_string(size) + " values");
    return {value_.at(i), name_ + "[" + std::to_string(i) + "]"};
}

std::size_t JsonField::size() const {
    if (!value_.is_array()) refuse("not a list");
    return value_.size();
}

int64_t JsonField::integer(int64_t lowest, int64_t highest) const {
    const std::string range = std::to_string(lowest) + " to " + std::to_string(highest);
    if (value_.is_number_integer()) {
        // Unsigned above 2^63 first: it has no signed value.
        if (value_.is_number_unsigned() &&
            value_.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
            refuse("not " + range);
        const int64_t v = value_.get<int64_t>();
        if (v < lowest || v > highest) refuse("not " + range);
        return v;
    }
    if (!value_.is_number_float()) refuse("not an integer");
    // A whole number written with a fraction or an exponent (3.0, 1e3) is
    // still an integer; 1e308 is not one within any range.
    const double v = value_.get<double>();
    if (!std::isfinite(v) || v != std::trunc(v)) refuse("not an integer");
    if (v < -int64Limit || v >= int64Limit) refuse("not " + range);
    const auto whole = static_cast<int64_t>(v);
    if (whole < lowest || whole > highest) refuse("not " + range);
    return whole;
}

uint64_t JsonField::count() const {
    return static_cast<uint64_t>(integer(0, INT64_MAX));
}

double JsonField::number() const {
    if (!value_.is_number()) refuse("not a number");
    const double v = value_.get<double>();
    if (!std::isfinite(v)) refuse("not a finite number");
    return v;
}

std::string JsonField::text() const {
    if (!value_.is_string()) refuse("not a text");
    return value_.get<std::string>();
}

bool JsonField::flag() const {
    if (!value_.is_boolean()) refuse("not true or false");
    return value_.get<bool>();
}

void JsonField::refuse(const std::string& why) const {
    // A list or object is not shown: it may be nested deeper than a dump's
    // recursion can go. A text's invalid UTF-8 is replaced rather than
    // failed on, and a long one cut.
    std::string shown =
        value_.is_array() ? "[...]"
        : value_.is_object()
            ? "{...}"
            : value_.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    if (shown.size() > longestShown) shown = shown.substr(0, longestShown) + "...";
    throw std::invalid_argument((name_.empty() ? "the document" : name_) + " is " + shown + ": " +
                                why);
}

} // namespace tolmaren_recording
