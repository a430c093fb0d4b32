#pragma once

#include <string>
#include <vector>

#include "api/Tolmaren_basestation_api.h"

namespace tolmaren_recording {

// What a recording's settings are made of, kept so that a probe whose link
// was lost can be opened again and set up as it was: its identity, the three
// chain models and the gain corrections in the basestation's registers.
class ProbeState {
public:
    // Takes the state of the open probe (reading the gain corrections back
    // from the basestation).
    explicit ProbeState(Tolmaren_basestation_api& api);

    // Closes the facade, opens it again at the same address and puts the
    // state back: the chains written with read-back verification, the gain
    // corrections written, electrode data mode. Throws ToolError when the open
    // or a step fails, or when another probe answers.
    void reopen(Tolmaren_basestation_api& api) const;

private:
    AsicID id_;
    BaseConfiguration base_;
    ShankConfiguration shank_;
    TestConfiguration test_;
    std::vector<unsigned short> gainCorrections_; // empty when they could not be read
};

} // namespace tolmaren_recording
