// What a browser sends the live view: a page's WebSocket message, and the
// Host, Origin and request target of any request. A message that passes
// holds only values the view can take; the page's own origin passes exactly
// when its host does. The first byte picks the check.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "view/AccessPolicy.h"
#include "view/ClientMessage.h"

using tolmaren_view::AccessPolicy;
using tolmaren_view::ClientMessage;

namespace {

void checkMessage(const std::string& text) {
    const auto message = ClientMessage::parse(text);
    if (!message) return;
    if (message->kind == ClientMessage::Kind::Settings) {
        const auto& channels = message->settings.channels;
        if (channels.empty() || channels.size() > tolmaren_view::TraceSettings::maxChannels)
            std::abort();
        for (std::size_t i = 0; i < channels.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (channels[i] >= 384 || channels[i] == channels[j]) std::abort();
        if (message->settings.binSamples < 5 || message->settings.binSamples > 500) std::abort();
    }
    if (message->kind == ClientMessage::Kind::RecordStart &&
        (message->name.empty() || message->name.front() == '.' ||
         message->name.find('/') != std::string::npos))
        std::abort();
}

void checkRequest(const std::string& text) {
    const AccessPolicy loopback("127.0.0.1", "");
    const AccessPolicy listening("::", "0123456789abcdef");
    for (const AccessPolicy* policy : {&loopback, &listening}) {
        const bool host = policy->hostAllowed(text);
        if (policy->originAllowed("http://" + text, text) != host) std::abort();
        policy->tokenAllowed(text);
    }
    if (AccessPolicy::path(text).find('?') != std::string::npos) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0)
        checkMessage(text);
    else
        checkRequest(text);
    return 0;
}
