#include "cli/ProbeSetup.h"

#include "recording/ProbeLayout.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"
#include "tolmaren_tools/BankSelection.h"

using tolmaren_recording::ProbeLayout;
using tolmaren_recording::StatusWords;
using tolmaren_recording::ToolError;
using tolmaren_tools::BankSelection;

void ProbeSetup::addOptions(CLI::App& command) {
    command.add_option("--base-chain", baseChainFile_, "Base chain CSV file to write first")
        ->check(CLI::ExistingFile);
    command
        .add_option("--shank-chain", shankChainFile_,
                    "Shank chain CSV file to write first (probe types 2 and 3)")
        ->check(CLI::ExistingFile);
    command.add_option("--test-chain", testChainFile_, "Test chain CSV file to write first")
        ->check(CLI::ExistingFile);
    command.add_option("--ap-gain", apGain_, "AP gain code of every channel (0 to 7)")
        ->check(CLI::Range(0, 7));
    command.add_option("--lfp-gain", lfpGain_, "LFP gain code of every channel (0 to 7)")
        ->check(CLI::Range(0, 7));
    command.add_option("--reference", reference_, "Reference index of every channel (0 to 10)")
        ->check(CLI::Range(0, 10));
    command
        .add_option("--bank", bank_,
                    "Electrode bank of every channel (0 to 3; probe types 2 and 3)")
        ->check(CLI::Range(0, 3));
    command.add_option("--filter", filter_, "High-pass filter setting (0, 1 or 3)")
        ->check(CLI::IsMember({0, 1, 3}));
}

std::vector<std::string> ProbeSetup::apply(Tolmaren_basestation_api& api) const {
    const int type = api.tolmaren_getOption();
    if (!shankChainFile_.empty() && type < 2)
        throw ToolError("--shank-chain: probe type " + std::to_string(type) +
                        " has no shank chain");
    if (bank_ && *bank_ != 0 && type < 2)
        throw ToolError("--bank: probe type " + std::to_string(type) + " has only bank 0");

    bool baseChanged = false;
    bool shankChanged = false;
    if (!baseChainFile_.empty()) {
        StatusWords::check("tolmaren_readBaseConfigurationFromCsv",
                           api.tolmaren_readBaseConfigurationFromCsv(baseChainFile_));
        baseChanged = true;
    }
    if (!shankChainFile_.empty()) {
        StatusWords::check("tolmaren_readShankConfigurationFromCsv",
                           api.tolmaren_readShankConfigurationFromCsv(shankChainFile_));
        shankChanged = true;
    }
    if (!testChainFile_.empty()) {
        StatusWords::check("tolmaren_readTestConfigurationFromCsv",
                           api.tolmaren_readTestConfigurationFromCsv(testChainFile_));
        StatusWords::check("tolmaren_writeTestRegister", api.tolmaren_writeTestRegister());
    }
    if (apGain_ || lfpGain_) {
        applyGains(api);
        baseChanged = true;
    }
    if (reference_) {
        for (unsigned int c = 0; c < ProbeLayout::channelsInUse(type); ++c)
            StatusWords::check("tolmaren_setReference",
                               api.tolmaren_setReference(static_cast<int>(c), *reference_, false));
        baseChanged = true;
    }
    std::vector<std::string> notes;
    if (bank_ && type >= 2) {
        const std::string note = BankSelection::apply(api, *bank_);
        if (!note.empty()) notes.push_back(note);
        shankChanged = true;
    }
    // The filter is set with a base chain write of its own, which also
    // carries every change made above.
    if (filter_) {
        StatusWords::check("tolmaren_setFilter", api.tolmaren_setFilter(*filter_));
        baseChanged = false;
    }
    if (baseChanged)
        StatusWords::check("tolmaren_writeBaseRegister", api.tolmaren_writeBaseRegister(true));
    if (shankChanged)
        StatusWords::check("tolmaren_writeShankRegister", api.tolmaren_writeShankRegister(true));
    return notes;
}

void ProbeSetup::applyGains(Tolmaren_basestation_api& api) const {
    const std::vector<ChanSetxx> current = api.baseConfiguration.getChannelSettings();
    for (unsigned int c = 0; c < ProbeLayout::streamChannels; ++c)
        StatusWords::check("tolmaren_setGain",
                           api.tolmaren_setGain(static_cast<int>(c),
                                                apGain_.value_or(current[c].apGain),
                                                lfpGain_.value_or(current[c].lfpGain), false));
}
