#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tolmaren_recording {

// JSON as people read it: members in the order they were added, one to a
// line and indented, and arrays of plain values kept on one line, so that a
// per-channel list is one line rather than 384. Always valid UTF-8: a
// byte of a text that is not (a file name in another encoding) becomes
// U+FFFD, the replacement character.
class JsonText {
public:
    static std::string format(const nlohmann::ordered_json& value);
};

} // namespace tolmaren_recording
