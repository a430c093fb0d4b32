#include "recording/ProbeState.h"

#include "recording/StatusWords.h"
#include "recording/ToolError.h"

namespace tolmaren_recording {

ProbeState::ProbeState(Tolmaren_basestation_api& api)
    : id_(api.tolmaren_getId()), base_(api.baseConfiguration), shank_(api.shankConfiguration),
      test_(api.testConfiguration) {
    if (api.tolmaren_getGainCorrection(gainCorrections_) != 0) gainCorrections_.clear();
}

void ProbeState::reopen(Tolmaren_basestation_api& api) const {
    api.tolmaren_close();
    const unsigned int opened = api.tolmaren_open(0);
    if (opened != 0) throw ToolError(StatusWords::openFailure(api, opened, ""));
    const AsicID id = api.tolmaren_getId();
    if (id.serialNumber != id_.serialNumber || id.probeType != id_.probeType)
        throw ToolError("another probe answered: serial number " + std::to_string(id.serialNumber) +
                        ", type " + std::to_string(id.probeType) + " in place of " +
                        std::to_string(id_.serialNumber) + ", type " +
                        std::to_string(id_.probeType));
    // The models keep pointing at the facade's own identity.
    api.baseConfiguration = base_;
    api.shankConfiguration = shank_;
    api.testConfiguration = test_;
    StatusWords::check("tolmaren_writeBaseRegister", api.tolmaren_writeBaseRegister(true));
    if (id.probeType >= 2)
        StatusWords::check("tolmaren_writeShankRegister", api.tolmaren_writeShankRegister(true));
    StatusWords::check("tolmaren_writeTestRegister", api.tolmaren_writeTestRegister());
    std::vector<unsigned short> corrections = gainCorrections_;
    if (!corrections.empty())
        StatusWords::check("tolmaren_gainCorrection", api.tolmaren_gainCorrection(corrections));
}

} // namespace tolmaren_recording
