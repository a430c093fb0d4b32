#include "recording/JsonText.h"

#include <algorithm>

namespace tolmaren_recording {

namespace {

using nlohmann::ordered_json;

bool isPlain(const ordered_json& value) {
    return !value.is_object() && !value.is_array();
}

// Text that is not valid UTF-8, such as a file name in another encoding,
// has each invalid byte replaced by U+FFFD rather than failing the whole
// document.
std::string dump(const ordered_json& value) {
    return value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::string pad(std::size_t level) {
    return std::string(2 * level, ' ');
}

void append(std::string& out, const ordered_json& value, std::size_t level) {
    const std::string inner = pad(level + 1);
    if (value.is_object() && !value.empty()) {
        out += "{\n";
        std::size_t left = value.size();
        for (const auto& member : value.items()) {
            out += inner + dump(ordered_json(member.key())) + ": ";
            append(out, member.value(), level + 1);
            out += --left > 0 ? ",\n" : "\n";
        }
        out += pad(level) + "}";
    } else if (value.is_array() && !std::all_of(value.begin(), value.end(), isPlain)) {
        out += "[\n";
        std::size_t left = value.size();
        for (const ordered_json& element : value) {
            out += inner;
            append(out, element, level + 1);
            out += --left > 0 ? ",\n" : "\n";
        }
        out += pad(level) + "]";
    } else if (value.is_array()) {
        out += "[";
        for (std::size_t i = 0; i < value.size(); ++i)
            out += (i == 0 ? "" : ", ") + dump(value[i]);
        out += "]";
    } else {
        out += dump(value);
    }
}

} // namespace

std::string JsonText::format(const nlohmann::ordered_json& value) {
    std::string out;
    append(out, value, 0);
    return out + "\n";
}

} // namespace tolmaren_recording
