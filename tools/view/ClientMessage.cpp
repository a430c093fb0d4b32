#include "view/ClientMessage.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "data/CodePacket.h"
#include "recording/RecordingInfo.h"

namespace tolmaren_view {

namespace {

using json = nlohmann::json;

// Letters, digits, '.', '_' and '-', not starting with '.': no path, no
// hidden file, nothing a shell or a file system reads specially.
bool plainFileName(const std::string& name) {
    if (name.empty() || name.size() > ClientMessage::longestName || name.front() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

std::optional<TraceSettings> settingsFrom(const json& message) {
    const auto channels = message.find("channels");
    const auto window = message.find("window_seconds");
    const auto highPass = message.find("high_pass");
    const auto commonAverage = message.find("common_average");
    if (channels == message.end() || !channels->is_array() || window == message.end() ||
        !window->is_number() || highPass == message.end() || !highPass->is_boolean() ||
        commonAverage == message.end() || !commonAverage->is_boolean())
        return std::nullopt;
    if (channels->empty() || channels->size() > TraceSettings::maxChannels) return std::nullopt;
    TraceSettings settings;
    for (const json& channel : *channels) {
        if (!channel.is_number_unsigned() || channel.get<uint64_t>() >= CodePacket::channels)
            return std::nullopt;
        const auto c = static_cast<uint16_t>(channel.get<uint64_t>());
        if (std::find(settings.channels.begin(), settings.channels.end(), c) !=
            settings.channels.end())
            return std::nullopt;
        settings.channels.push_back(c);
    }
    const double seconds = window->get<double>();
    if (!(seconds >= ClientMessage::shortestWindow && seconds <= ClientMessage::longestWindow))
        return std::nullopt;
    settings.binSamples = static_cast<unsigned int>(
        std::max(1.0, std::round(seconds * tolmaren_recording::RecordingInfo::apSampleRateHz /
                                 TraceSettings::binsPerWindow)));
    settings.highPass = highPass->get<bool>();
    settings.commonAverage = commonAverage->get<bool>();
    return settings;
}

} // namespace

std::optional<ClientMessage> ClientMessage::parse(std::string_view text) {
    const json message = json::parse(text, nullptr, false);
    if (!message.is_object()) return std::nullopt;
    const auto type = message.find("type");
    if (type == message.end() || !type->is_string()) return std::nullopt;
    ClientMessage result;
    const std::string& kind = type->get_ref<const std::string&>();
    if (kind == "settings") {
        auto settings = settingsFrom(message);
        if (!settings) return std::nullopt;
        result.kind = Kind::Settings;
        result.settings = std::move(*settings);
    } else if (kind == "drawn") {
        const auto frame = message.find("frame");
        if (frame == message.end() || !frame->is_number_unsigned() ||
            frame->get<uint64_t>() > UINT32_MAX)
            return std::nullopt;
        result.kind = Kind::Drawn;
        result.frame = static_cast<uint32_t>(frame->get<uint64_t>());
    } else if (kind == "record_start") {
        const auto name = message.find("name");
        if (name == message.end() || !name->is_string() ||
            !plainFileName(name->get_ref<const std::string&>()))
            return std::nullopt;
        result.kind = Kind::RecordStart;
        result.name = name->get<std::string>();
    } else if (kind == "record_stop") {
        result.kind = Kind::RecordStop;
    } else {
        return std::nullopt;
    }
    return result;
}

} // namespace tolmaren_view
