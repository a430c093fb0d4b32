// The electrode and ADC packet decoders over playback files: the input, after
// its first byte, is played back through the facade as a recording and read
// in the packet form, the undecoded reads and the skips the first byte picks,
// until the file is used up. Every read ends with a status code.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "api/Tolmaren_basestation_api.h"
#include "link/Diagnostics.h"

namespace {

class PlaybackApi : public Tolmaren_basestation_api {
public:
    void setElectrodeMode(bool electrode) { datamode_ = electrode; }
};

const std::string& playbackFile() {
    static const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                    "/fuzz_packets_" + std::to_string(getpid()) + ".bin";
    return path;
}

} // namespace

// The playback link announces itself on every open.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Diagnostics::redirect(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t plan = data[0];
    std::ofstream(playbackFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    PlaybackApi api;
    if (api.tolmaren_open(playbackFile()) != 0) std::abort();
    api.setElectrodeMode(plan & 1);
    ElectrodePacket electrode;
    AdcPacket adc;
    for (unsigned int step = 0;; ++step) {
        unsigned int status = 0;
        switch ((plan >> (1 + step % 3 * 2)) & 3) {
        case 0:
            status = (plan & 1) ? api.tolmaren_readElectrodeData(electrode)
                                : api.tolmaren_readADCData(adc);
            break;
        case 1:
            status = (plan & 1) ? api.skipElectrodeData(2) : api.skipAdcData(2);
            break;
        case 2:
            status = api.tolmaren_readUnprocessed(step % 700).empty() && step % 700 ? 3 : 0;
            break;
        default: // the other form first: refused without consuming anything
            status = api.tolmaren_readElectrodeData(electrode);
            if (status == 2) status = api.tolmaren_readADCData(adc);
        }
        if (status > 4) std::abort();
        if (status == 3) break;
    }
    return 0;
}
