#pragma once

#include <string>
#include <string_view>

namespace tolmaren_view {

// Who may use the view. Every request must name this machine in its Host
// header (a loopback name, or the address the server listens on), so that a
// web site whose name a DNS answer points here cannot reach it. A WebSocket
// must come from the page itself: its Origin is "http://" and the Host it
// asked. With a token (the server listens beyond loopback), the page, its
// WebSocket and /status need it as the query parameter `token`; the page's
// script and style sheet, which hold nothing of the probe, do not.
class AccessPolicy {
public:
    // `listenAddress`: a wildcard address (0.0.0.0, ::) accepts any Host, and
    // then only the token keeps strangers out. An empty token needs none.
    AccessPolicy(std::string listenAddress, std::string token);

    bool hostAllowed(std::string_view host) const;
    bool originAllowed(std::string_view origin, std::string_view host) const;
    // `target`: the request target, path and query.
    bool tokenAllowed(std::string_view target) const;

    const std::string& token() const { return token_; }

    // The path of a request target, without its query.
    static std::string_view path(std::string_view target);

private:
    std::string listenAddress_;
    bool anyHost_;
    std::string token_;
};

} // namespace tolmaren_view
