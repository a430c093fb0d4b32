#pragma once

#include <functional>
#include <ios>

#include "api/Tolmaren_basestation_api.h"
#include "common/RecordingVci.h"

// The facade with a recording register interface in place of the
// configuration link, and the members the control operations depend on within
// reach. The facade owns the interface; `vci()` stays valid until close.
class ControlTestApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::dataLink_;
    using Tolmaren_basestation_api::datamode_;
    using Tolmaren_basestation_api::datamodel_;
    using Tolmaren_basestation_api::dummyMode_;

    RecordingVci& attachRecording() {
        vci_ = new RecordingVci();
        configLink_ = vci_;
        datamodel_ = new neuroprobe(0, configLink_);
        return *vci_;
    }
    RecordingVci& vci() { return *vci_; }

    void setProbeType(int8_t probeType) { asicId_.probeType = probeType; }
    bool logBaseIsHex() const { return (log_.flags() & std::ios::basefield) == std::ios::hex; }

    // Counts the virtual data flushes of the datapath reset.
    unsigned int tolmaren_flushData() override {
        ++flushes;
        if (onFlush) onFlush();
        return 0;
    }
    unsigned int flushes = 0;
    std::function<void()> onFlush;

private:
    RecordingVci* vci_ = nullptr;
};
