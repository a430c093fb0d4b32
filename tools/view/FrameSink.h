#pragma once

#include <memory>
#include <string>

namespace tolmaren_view {

// Where the view thread sends a page's frames: its WebSocket session. Called
// on the view thread; the session sends on its own.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void sendFrame(std::shared_ptr<const std::string> frame) = 0;
};

} // namespace tolmaren_view
