#pragma once

#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "data/TolmarenDataConnectionLink.h"
#include "sim/BasestationSimulator.h"

// The facade on both links of the in-process simulator at the test's own
// address, built without the start-up sequence and its second of waiting for
// the stream to pause. Test 4 waits milliseconds instead of seconds and loops back N = 1 to
// 8^4 words; its datapath reset drains the stream only when asked to, as the
// probe of a fresh simulator does not stream.
class SelfTestApi : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::test4Settings_;
    SelfTestApi() { test4Settings_ = {1, 5, 300, 5}; }
    void connect() {
        tolmaren_setBasestationAddress(TestAddress::own());
        setupConfigLink();
        dataLink_ = new TolmarenDataConnectionLink(tolmaren_getBasestationAddress(), 1234);
    }
    unsigned int tolmaren_flushData() override {
        return drain ? Tolmaren_basestation_api::tolmaren_flushData() : 0;
    }
    unsigned int tolmaren_writeUart(unsigned char device, unsigned char reg,
                                    std::vector<unsigned short> data) override {
        if (device == 0x40 && reg == 0x10) controlWrites.push_back(data.at(0));
        return Tolmaren_basestation_api::tolmaren_writeUart(device, reg, data);
    }
    bool drain = false;
    std::vector<unsigned short> controlWrites; // to headstage register 0x10
};

struct SelfTestProbe {
    explicit SelfTestProbe(const tolmaren_sim::SimulatorOptions& options) : sim(options) {
        sim.start();
        api.connect();
    }
    ScopedWorkDir dir;
    tolmaren_sim::BasestationSimulator sim;
    SelfTestApi api; // closes its links before the simulator stops
};
