#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace tolmaren_recording {

// A value of a JSON document that came from elsewhere, read only as the type
// and range asked for. Whatever is wrong throws std::invalid_argument naming
// the value's key and showing the value as JSON (so a text's control
// characters arrive escaped): "probe.type is 99: not a probe type ...".
class JsonField {
public:
    JsonField(const nlohmann::ordered_json& value, std::string name)
        : value_(value), name_(std::move(name)) {}

    // A member, which must exist.
    JsonField operator[](const char* key) const;
    bool has(const char* key) const { return value_.is_object() && value_.contains(key); }
    // Element i of an array of exactly `size` elements.
    JsonField element(std::size_t i, std::size_t size) const;
    bool isNull() const { return value_.is_null(); }
    // The number of elements of an array.
    std::size_t size() const;

    // An integer from lowest to highest; a number with a fraction (2.9) is
    // refused rather than cut.
    int64_t integer(int64_t lowest, int64_t highest) const;
    // A count: an integer from 0 to 2^63.
    uint64_t count() const;
    // A finite number.
    double number() const;
    std::string text() const;
    bool flag() const;

    // Throws naming the key and the value, with why it is refused.
    [[noreturn]] void refuse(const std::string& why) const;

private:
    const nlohmann::ordered_json& value_;
    std::string name_;
};

} // namespace tolmaren_recording
