#pragma once

#include "registers/t_fpga_version.h"
#include "vci/SingleAddress.h"
#include "vci/VciArray.h"

// Basestation configuration: versions, data mode, supply, heartbeat and the
// channel-to-electrode table of the shank.
class t_tolmaren_cfg {
public:
    // The table fills the words from byte offset 0x1C up to 0xFFF.
    static constexpr unsigned int channelToElectrodeCount = (0x1000 - 0x1C) / 4;

    t_tolmaren_cfg(unsigned int base, VciInterface* vci);

    unsigned int base_;
    t_fpga_version fpga_version;
    SingleAddress datamode;
    SingleAddress temperature;
    SingleAddress datapath_reset;
    SingleAddress cfg_word6;
    VciArray<SingleAddress, channelToElectrodeCount> channel_to_electrode;
    SingleAddress bs_sw_hbeat;
    SingleAddress supply;
    SingleAddress bs_version;
    SingleAddress bs_revision;
    SingleAddress bypass_datapath;
};
