#include "recording/Sidecar.h"

#include <climits>

#include "api/RegularFile.h"
#include "recording/AmplifierGains.h"
#include "recording/JsonField.h"
#include "recording/JsonText.h"
#include "recording/ProbeLayout.h"
#include "recording/SettingLimits.h"
#include "recording/StreamCountsText.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* formatName = "tolmaren recording sidecar";
// Version 3 says how the recording ended and which files make a recording
// set; version 2 had the decoder's counts and whether the user stopped it,
// version 1 packets, decode errors and counter gaps. Both are still read.
constexpr int formatVersion = 3;

json gainFactors(const std::vector<int>& codes) {
    json factors = json::array();
    for (const int code : codes)
        factors.push_back(AmplifierGains::factor(static_cast<unsigned int>(code)));
    return factors;
}

// Banks and electrodes, with null for none.
json orNull(const std::vector<int>& values) {
    json result = json::array();
    for (const int value : values)
        result.push_back(value < 0 ? json(nullptr) : json(value));
    return result;
}

json orNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

// Far beyond any sidecar: the settings of 384 channels, the room kept for
// rewriting it, and the names of thousands of segment files.
constexpr std::size_t maxSidecarBytes = std::size_t(4) << 20;
// A 10-bit ADC over a reference between 10 mV and 100 V.
constexpr double leastVoltsPerCode = 1e-5;
constexpr double mostVoltsPerCode = 0.1;
constexpr int64_t largestSerialNumber = 0x3FFFFFFF; // the EEPROM keeps 30 bits
constexpr int highestProbeType = 3;
constexpr int highestSegment = 1 << 30;

// An integer setting that `problem` finds fine (an empty text).
int setting(const JsonField& value, std::string (*problem)(int)) {
    const auto v = static_cast<int>(value.integer(INT_MIN, INT_MAX));
    const std::string why = problem(v);
    if (!why.empty()) value.refuse(why);
    return v;
}

std::vector<int> perChannel(const JsonField& values, std::string (*problem)(int)) {
    std::vector<int> result;
    for (unsigned int c = 0; c < ProbeLayout::streamChannels; ++c)
        result.push_back(setting(values.element(c, ProbeLayout::streamChannels), problem));
    return result;
}

// Null for a channel that records no electrode, else a bank that reaches
// one from this channel.
std::vector<int> readBanks(const JsonField& values, int probeType) {
    std::vector<int> result;
    for (unsigned int c = 0; c < ProbeLayout::streamChannels; ++c) {
        const JsonField value = values.element(c, ProbeLayout::streamChannels);
        if (value.isNull()) {
            result.push_back(ProbeLayout::noBank);
            continue;
        }
        const auto bank = static_cast<int>(value.integer(0, INT_MAX));
        const std::string any = SettingLimits::bank(bank);
        if (!any.empty()) value.refuse(any);
        if (ProbeLayout::electrode(probeType, c, bank) < 0)
            value.refuse("channel " + std::to_string(c) + " of a probe of type " +
                         std::to_string(probeType) + " reaches no electrode in it");
        result.push_back(bank);
    }
    return result;
}

RecordingInfo::End readEnd(const JsonField& value) {
    try {
        return RecordingInfo::endNamed(value.text());
    } catch (const std::invalid_argument&) {
        value.refuse("not a way a recording ends");
    }
}

RecordingInfo readInfo(const json& document) {
    const JsonField root(document, "");
    const JsonField format = root["format"];
    if (format.text() != formatName) format.refuse("not a sidecar of this tool");
    const auto version = root["format_version"].integer(1, formatVersion);
    RecordingInfo info;
    const JsonField probe = root["probe"];
    info.probeType = static_cast<int>(probe["type"].integer(0, highestProbeType));
    info.serialNumber =
        static_cast<uint32_t>(probe["serial_number"].integer(0, largestSerialNumber));
    // Sidecars written before the address was kept lack it.
    if (root.has("basestation")) {
        const JsonField address = root["basestation"]["address"];
        if (!address.isNull()) info.basestationAddress = address.text();
    }
    info.apiVersion = root["versions"]["api"].text();
    info.fpgaVersion = root["versions"]["fpga"].text();
    info.startTime = root["start_time"].text();
    const JsonField voltsPerCode = root["stream"]["volts_per_code"];
    info.voltsPerCode = voltsPerCode.number();
    if (info.voltsPerCode < leastVoltsPerCode || info.voltsPerCode > mostVoltsPerCode)
        voltsPerCode.refuse("not a plausible step of the ADC (1e-5 to 0.1 V)");
    const JsonField settings = root["settings"];
    info.highPassFilter = setting(settings["high_pass_filter"], &SettingLimits::filter);
    const JsonField channels = settings["channels"];
    info.bank = readBanks(channels["bank"], info.probeType);
    info.apGainCode = perChannel(channels["ap_gain_code"], &SettingLimits::gainCode);
    info.lfpGainCode = perChannel(channels["lfp_gain_code"], &SettingLimits::gainCode);
    info.reference = perChannel(channels["reference"], &SettingLimits::reference);
    const JsonField standby = channels["standby"];
    for (unsigned int c = 0; c < ProbeLayout::streamChannels; ++c)
        info.standby.push_back(standby.element(c, ProbeLayout::streamChannels).flag());
    const JsonField recorded = root["recorded"];
    if (version == 1) {
        info.counts.packets = recorded["packets"].count();
        info.counts.blocksRejected = recorded["decode_errors"].count();
        info.counts.gaps = recorded["counter_gaps"].count();
    } else {
        info.counts = StreamCountsText::from(document.at("recorded"), "recorded");
    }
    info.bytes = recorded["bytes"].count();
    if (version < 3) {
        info.ended = recorded["interrupted"].flag() ? RecordingInfo::End::Stopped
                                                    : RecordingInfo::End::Completed;
    } else {
        info.ended = readEnd(recorded["ended"]);
        const JsonField detail = recorded["end_detail"];
        if (!detail.isNull()) info.endDetail = detail.text();
        info.segment = static_cast<unsigned int>(recorded["segment"].integer(1, highestSegment));
        const JsonField files = recorded["segment_files"];
        for (std::size_t i = 0, n = files.size(); i < n; ++i)
            info.segmentFiles.push_back(files.element(i, n).text());
    }
    return info;
}

} // namespace

std::string Sidecar::pathFor(const std::string& recording) {
    return recording + ".json";
}

std::string Sidecar::toJson(const RecordingInfo& info) {
    json document = {
        {"format", formatName},
        {"format_version", formatVersion},
        {"probe", {{"type", info.probeType}, {"serial_number", info.serialNumber}}},
        {"basestation", {{"address", orNull(info.basestationAddress)}}},
        {"versions", {{"api", info.apiVersion}, {"fpga", info.fpgaVersion}}},
        {"start_time", info.startTime},
        {"stream",
         {{"channels", ProbeLayout::streamChannels},
          {"ap_sample_rate_hz", RecordingInfo::apSampleRateHz},
          {"lfp_sample_rate_hz", RecordingInfo::lfpSampleRateHz},
          {"volts_per_code", info.voltsPerCode},
          {"adc_zero_code", RecordingInfo::adcZeroCode},
          {"layout", "raw electrode blocks of 612 bytes, 12 to a packet, no header"}}},
        {"settings",
         {{"high_pass_filter", info.highPassFilter},
          {"channels",
           {{"bank", orNull(info.bank)},
            {"electrode", orNull(info.electrodes())},
            {"ap_gain_code", info.apGainCode},
            {"lfp_gain_code", info.lfpGainCode},
            {"ap_gain", gainFactors(info.apGainCode)},
            {"lfp_gain", gainFactors(info.lfpGainCode)},
            {"reference", info.reference},
            {"standby", info.standby}}}}},
    };
    json& recorded = document["recorded"];
    StreamCountsText::addTo(recorded, info.counts);
    recorded["bytes"] = info.bytes;
    recorded["ended"] = RecordingInfo::endName(info.ended);
    recorded["end_detail"] = orNull(info.endDetail);
    recorded["segment"] = info.segment;
    recorded["segment_files"] = info.segmentFiles;
    return JsonText::format(document);
}

std::optional<RecordingInfo> Sidecar::read(const std::string& path) {
    RegularFile file(path);
    std::string text;
    if (file.status() == RegularFile::Status::Missing) return std::nullopt;
    if (!file.readAll(maxSidecarBytes, text)) throw ToolError(file.problem());
    try {
        return readInfo(json::parse(text));
    } catch (const std::exception& e) {
        throw ToolError(path + " is not a recording sidecar of this tool: " + e.what());
    }
}

} // namespace tolmaren_recording
