#include "cli/ProbeSetup.h"

#include <charconv>

#include "api/CsvLineReader.h"
#include "api/RegularFile.h"
#include "recording/ProbeLayout.h"
#include "recording/SettingLimits.h"
#include "recording/StatusWords.h"
#include "recording/ToolError.h"
#include "tolmaren_tools/BankSelection.h"

using tolmaren_recording::ProbeLayout;
using tolmaren_recording::SettingLimits;
using tolmaren_recording::StatusWords;
using tolmaren_recording::ToolError;
using tolmaren_tools::BankSelection;

namespace {

// A check of SettingLimits as a validator of an integer option; text that is
// no integer is left to the option's conversion to refuse.
CLI::Validator within(std::string (*problem)(int), const char* name) {
    return CLI::Validator(
        [problem](const std::string& text) {
            int value = 0;
            const char* end = text.data() + text.size();
            const auto parsed = std::from_chars(text.data(), end, value);
            if (parsed.ec != std::errc() || parsed.ptr != end) return std::string();
            return problem(value);
        },
        name);
}

// A regular file no larger than any chain: a FIFO, a device or an endless
// file is refused before the probe is opened, naming the file and why.
const CLI::Validator chainFile(
    [](const std::string& path) {
        RegularFile file(path);
        std::string text;
        file.readAll(CsvLineReader::maxChainFileBytes, text);
        return file.problem();
    },
    "FILE");

} // namespace

void ProbeSetup::addOptions(CLI::App& command) {
    command.add_option("--base-chain", baseChainFile_, "Base chain CSV file to write first")
        ->check(chainFile);
    command
        .add_option("--shank-chain", shankChainFile_,
                    "Shank chain CSV file to write first (probe types 2 and 3)")
        ->check(chainFile);
    command.add_option("--test-chain", testChainFile_, "Test chain CSV file to write first")
        ->check(chainFile);
    const char* const gains = "0 to 7 for the gains 50, 125, 250, 500, 1000, 1500, 2000, 3000 "
                              "(the open sets 1)";
    command
        .add_option("--ap-gain", apGain_, std::string("AP gain code of every channel: ") + gains)
        ->check(within(&SettingLimits::gainCode, "CODE"));
    command
        .add_option("--lfp-gain", lfpGain_, std::string("LFP gain code of every channel: ") + gains)
        ->check(within(&SettingLimits::gainCode, "CODE"));
    command
        .add_option("--reference", reference_,
                    "Reference of every channel: 0 external, 1 tip, 2 to 10 the internal "
                    "references")
        ->check(within(&SettingLimits::reference, "INDEX"));
    command
        .add_option("--bank", bank_,
                    "Electrode bank of every channel, 0 to 3: channel c records electrode "
                    "384 b + c of bank b (276 b + c on type 3); the last bank of a shank reaches "
                    "only its first channels. Probe types 2 and 3 open with no electrode "
                    "connected; types 0 and 1 have bank 0 alone")
        ->check(within(static_cast<std::string (*)(int)>(&SettingLimits::bank), "BANK"));
    command
        .add_option("--filter", filter_,
                    "High-pass filter of the probe's amplifiers, the ASIC's BwHp setting: 0 (as "
                    "after the open), 1 or 3. Written to the probe as the number and kept in the "
                    "sidecar; its corner frequencies are the probe's (the simulator does not "
                    "filter)")
        ->check(within(&SettingLimits::filter, "SETTING"));
}

std::vector<std::string> ProbeSetup::apply(Tolmaren_basestation_api& api) const {
    const int type = api.tolmaren_getOption();
    if (!shankChainFile_.empty() && type < 2)
        throw ToolError("--shank-chain: probe type " + std::to_string(type) +
                        " has no shank chain");
    if (bank_) SettingLimits::require(SettingLimits::bank(type, *bank_)); // before any write

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
    if (bank_) {
        const std::string note = BankSelection::apply(api, *bank_);
        if (!note.empty()) notes.push_back(note);
        shankChanged = shankChanged || BankSelection::hasShank(type);
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
