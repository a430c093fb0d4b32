#include "recording/ProbeSnapshot.h"

#include "recording/ProbeLayout.h"
#include "recording/StatusWords.h"

namespace tolmaren_recording {

namespace {

std::string text(const VersionNumber& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

} // namespace

RecordingInfo ProbeSnapshot::take(Tolmaren_basestation_api& api) {
    RecordingInfo info;
    const AsicID id = api.tolmaren_getId();
    info.probeType = id.probeType;
    info.serialNumber = id.serialNumber;
    info.basestationAddress = api.tolmaren_getBasestationAddress();
    info.apiVersion = text(api.tolmaren_getAPIVersion());
    VersionNumber fpga;
    StatusWords::check("tolmaren_getHardwareVersion", api.tolmaren_getHardwareVersion(&fpga));
    info.fpgaVersion = text(fpga);
    info.voltsPerCode = api.tolmaren_getScaleFactorToVoltage();

    const std::vector<ChanSetxx> settings = api.baseConfiguration.getChannelSettings();
    const std::vector<uint8_t> references = api.baseConfiguration.getAllChannelReferenceIndices();
    std::vector<uint8_t> connections;
    api.shankConfiguration.getElectrodeConnections(connections);
    for (unsigned int c = 0; c < ProbeLayout::streamChannels; ++c) {
        // Types 0 and 1 have no shank chain: every channel has its one electrode.
        int bank = info.probeType < 2 ? 0 : connections[c];
        if (bank == 255 || ProbeLayout::electrode(info.probeType, c, bank) < 0)
            bank = ProbeLayout::noBank;
        info.bank.push_back(bank);
        info.apGainCode.push_back(settings[c].apGain);
        info.lfpGainCode.push_back(settings[c].lfpGain);
        info.reference.push_back(references[c]);
        info.standby.push_back(settings[c].standby);
    }
    AdditionalSettings additional;
    api.baseConfiguration.getAdditionalSettings(additional);
    info.highPassFilter = additional.BwHp;
    return info;
}

} // namespace tolmaren_recording
