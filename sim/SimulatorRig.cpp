#include "sim/SimulatorRig.h"

#include <arpa/inet.h>
#include <filesystem>
#include <stdexcept>

namespace tolmaren_sim {

SimulatorRig::SimulatorRig(const SimulatorOptions& first, unsigned int basestations)
    : signals_(std::make_shared<RigSignals>()) {
    if (basestations < 1 || basestations > maxBasestations)
        throw std::invalid_argument("a rig has 1 to " + std::to_string(maxBasestations) +
                                    " basestations");
    // The wave of a rig runs on its own; a lone basestation's starts with
    // each stream, as it always has.
    if (basestations > 1) signals_->syncEpoch = signals_->clock.now();
    for (unsigned int k = 0; k < basestations; ++k)
        basestations_.push_back(std::make_unique<BasestationSimulator>(memberOptions(first, k),
                                                                       RigWiring{signals_, k}));
}

void SimulatorRig::start() {
    try {
        for (auto& basestation : basestations_)
            basestation->start();
    } catch (...) {
        stop();
        throw;
    }
}

void SimulatorRig::stop() {
    for (auto& basestation : basestations_)
        basestation->stop();
}

bool SimulatorRig::running() const {
    for (const auto& basestation : basestations_)
        if (!basestation->running()) return false;
    return true;
}

SimulatorOptions SimulatorRig::memberOptions(const SimulatorOptions& first, unsigned int k) {
    if (k == 0) return first;
    SimulatorOptions options = first;
    options.address = address(first.address, k);
    options.seed = first.seed + k;
    if (!first.eepromFile.empty())
        options.eepromFile = first.eepromFile + "." + std::to_string(k + 1);
    // The EEPROM file is looked up, not opened: opening a FIFO would wait.
    if (first.serialNumber)
        options.serialNumber = *first.serialNumber + k;
    else if (options.eepromFile.empty() || !std::filesystem::exists(options.eepromFile))
        options.serialNumber = k;
    return options;
}

std::string SimulatorRig::address(const std::string& first, unsigned int k) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, first.c_str(), &parsed) != 1)
        throw std::invalid_argument("not an IPv4 address: " + first);
    const uint64_t value = uint64_t(ntohl(parsed.s_addr)) + k;
    if (value > 0xFFFFFFFFu)
        throw std::invalid_argument("no address " + std::to_string(k) + " after " + first);
    in_addr next{};
    next.s_addr = htonl(static_cast<uint32_t>(value));
    char text[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, &next, text, sizeof text);
    return text;
}

} // namespace tolmaren_sim
