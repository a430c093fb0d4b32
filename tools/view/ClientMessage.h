#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "view/TraceSettings.h"

namespace tolmaren_view {

// A message from a page, as JSON text:
//   {"type": "settings", "channels": [0, 1, ...], "window_seconds": 1,
//    "high_pass": true, "common_average": false}
//   {"type": "drawn", "frame": 17}          the page drew frames up to 17
//   {"type": "record_start", "name": "a.bin"}
//   {"type": "record_stop"}
// Anything else is refused, and the page that sent it is disconnected.
struct ClientMessage {
    enum class Kind { Settings, Drawn, RecordStart, RecordStop };
    // The window a page may ask for, in seconds of the stream.
    static constexpr double shortestWindow = 0.1;
    static constexpr double longestWindow = 10;
    static constexpr std::size_t longestName = 100;

    Kind kind = Kind::Drawn;
    TraceSettings settings; // Settings
    uint32_t frame = 0;     // Drawn
    std::string name;       // RecordStart: a plain file name in the working directory

    // Nothing when the text is not one of the messages above with valid
    // values: a channel out of range or twice, too many channels, a window
    // out of range, a name with a path or an unusual character in it.
    static std::optional<ClientMessage> parse(std::string_view text);
};

} // namespace tolmaren_view
