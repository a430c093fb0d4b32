#include "recording/Sidecar.h"

#include <fstream>

#include "recording/AmplifierGains.h"
#include "recording/JsonText.h"
#include "recording/ProbeLayout.h"
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

std::vector<int> readBanks(const json& values) {
    std::vector<int> result;
    for (const json& b : values)
        result.push_back(b.is_null() ? ProbeLayout::noBank : b.get<int>());
    return result;
}

void requireChannels(const std::vector<int>& values, const char* name) {
    if (values.size() != ProbeLayout::streamChannels)
        throw std::invalid_argument(std::string(name) + " does not hold 384 values");
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
    std::ifstream in(path);
    if (!in.is_open()) return std::nullopt;
    try {
        const json document = json::parse(in);
        const json& version = document.at("format_version");
        if (document.at("format") != formatName || !version.is_number_integer() || version < 1 ||
            version > formatVersion)
            throw std::invalid_argument("unknown format");
        RecordingInfo info;
        info.probeType = document.at("probe").at("type").get<int>();
        info.serialNumber = document.at("probe").at("serial_number").get<uint32_t>();
        // Sidecars written before the address was kept lack it.
        if (document.contains("basestation")) {
            const json& address = document.at("basestation").at("address");
            if (!address.is_null()) info.basestationAddress = address.get<std::string>();
        }
        info.apiVersion = document.at("versions").at("api").get<std::string>();
        info.fpgaVersion = document.at("versions").at("fpga").get<std::string>();
        info.startTime = document.at("start_time").get<std::string>();
        info.voltsPerCode = document.at("stream").at("volts_per_code").get<double>();
        const json& settings = document.at("settings");
        info.highPassFilter = settings.at("high_pass_filter").get<int>();
        const json& channels = settings.at("channels");
        info.bank = readBanks(channels.at("bank"));
        info.apGainCode = channels.at("ap_gain_code").get<std::vector<int>>();
        info.lfpGainCode = channels.at("lfp_gain_code").get<std::vector<int>>();
        info.reference = channels.at("reference").get<std::vector<int>>();
        info.standby = channels.at("standby").get<std::vector<bool>>();
        requireChannels(info.bank, "bank");
        requireChannels(info.apGainCode, "ap_gain_code");
        requireChannels(info.lfpGainCode, "lfp_gain_code");
        requireChannels(info.reference, "reference");
        if (info.standby.size() != ProbeLayout::streamChannels)
            throw std::invalid_argument("standby does not hold 384 values");
        for (unsigned int c = 0; c < ProbeLayout::streamChannels; ++c) {
            AmplifierGains::factor(static_cast<unsigned int>(info.apGainCode[c]));
            AmplifierGains::factor(static_cast<unsigned int>(info.lfpGainCode[c]));
        }
        const json& recorded = document.at("recorded");
        if (version == 1) {
            info.counts.packets = recorded.at("packets").get<uint64_t>();
            info.counts.blocksRejected = recorded.at("decode_errors").get<uint64_t>();
            info.counts.gaps = recorded.at("counter_gaps").get<uint64_t>();
        } else {
            info.counts = StreamCountsText::from(recorded);
        }
        info.bytes = recorded.at("bytes").get<uint64_t>();
        if (version < 3) {
            info.ended = recorded.at("interrupted").get<bool>() ? RecordingInfo::End::Stopped
                                                                : RecordingInfo::End::Completed;
        } else {
            info.ended = RecordingInfo::endNamed(recorded.at("ended").get<std::string>());
            const json& detail = recorded.at("end_detail");
            if (!detail.is_null()) info.endDetail = detail.get<std::string>();
            info.segment = recorded.at("segment").get<unsigned int>();
            info.segmentFiles = recorded.at("segment_files").get<std::vector<std::string>>();
        }
        return info;
    } catch (const std::exception& e) {
        throw ToolError(path + " is not a recording sidecar of this tool: " + e.what());
    }
}

} // namespace tolmaren_recording
