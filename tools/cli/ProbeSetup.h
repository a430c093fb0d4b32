#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "api/Tolmaren_basestation_api.h"

// The configuration `record` applies to the opened probe: the chain files
// first, then the options, each of which sets its value on every channel.
// The changed chains are written once each, with read-back verification.
class ProbeSetup {
public:
    void addOptions(CLI::App& command);
    // Returns notes for the user (channels left without an electrode);
    // throws ToolError when a setting does not fit the probe (SettingError)
    // or a step fails.
    std::vector<std::string> apply(Tolmaren_basestation_api& api) const;

private:
    void applyGains(Tolmaren_basestation_api& api) const;

    std::string baseChainFile_;
    std::string shankChainFile_;
    std::string testChainFile_;
    std::optional<int> apGain_;
    std::optional<int> lfpGain_;
    std::optional<int> reference_;
    std::optional<int> bank_;
    std::optional<int> filter_;
};
