#include "view/AccessPolicy.h"

#include <algorithm>
#include <cctype>

namespace tolmaren_view {

namespace {

// The name in a Host header: "name", "name:port", "[v6]" or "[v6]:port".
std::string_view hostName(std::string_view host) {
    if (!host.empty() && host.front() == '[') {
        const auto end = host.find(']');
        return end == std::string_view::npos ? std::string_view() : host.substr(0, end + 1);
    }
    return host.substr(0, host.find(':'));
}

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Takes as long for a wrong token as for a right one of the same length.
bool sameToken(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

AccessPolicy::AccessPolicy(std::string listenAddress, std::string token)
    : listenAddress_(std::move(listenAddress)),
      anyHost_(listenAddress_ == "0.0.0.0" || listenAddress_ == "::"), token_(std::move(token)) {
    if (listenAddress_.find(':') != std::string::npos) listenAddress_ = "[" + listenAddress_ + "]";
}

bool AccessPolicy::hostAllowed(std::string_view host) const {
    const std::string_view name = hostName(host);
    if (name.empty()) return false;
    if (anyHost_) return true;
    for (const std::string_view allowed : {"localhost", "127.0.0.1", "[::1]"})
        if (sameText(name, allowed)) return true;
    return sameText(name, listenAddress_);
}

bool AccessPolicy::originAllowed(std::string_view origin, std::string_view host) const {
    constexpr std::string_view scheme = "http://";
    return hostAllowed(host) && origin.size() == scheme.size() + host.size() &&
           origin.substr(0, scheme.size()) == scheme &&
           sameText(origin.substr(scheme.size()), host);
}

bool AccessPolicy::tokenAllowed(std::string_view target) const {
    if (token_.empty()) return true;
    const auto query = target.find('?');
    if (query == std::string_view::npos) return false;
    std::string_view rest = target.substr(query + 1);
    while (!rest.empty()) {
        const auto end = rest.find('&');
        const std::string_view pair = rest.substr(0, end);
        constexpr std::string_view key = "token=";
        if (pair.substr(0, key.size()) == key && sameToken(pair.substr(key.size()), token_))
            return true;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return false;
}

std::string_view AccessPolicy::path(std::string_view target) {
    return target.substr(0, target.find('?'));
}

} // namespace tolmaren_view
