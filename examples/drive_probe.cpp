// Opens the probe, sets gains and electrodes, records while reading packets, closes.
#include <cstdio>

#include "api/Tolmaren_basestation_api.h"

int main() {
    Tolmaren_basestation_api api;
    api.tolmaren_startLog(); // progress goes to api_log.txt
    if (unsigned int status = api.tolmaren_open(0)) {
        std::printf("open failed at step code %u\n", status);
        return 1;
    }
    api.tolmaren_writeAllAPGains(3);     // AP gain code 3, every channel
    api.tolmaren_setGain(0, 3, 0, true); // channel 0: AP 3, LFP 0
    if (api.tolmaren_getOption() >= 2) api.tolmaren_selectElectrode(0, 1, true); // bank 1
    api.tolmaren_startRecording("recording.bin");
    const float volts = api.tolmaren_getScaleFactorToVoltage(); // 1.2 V / 1023 per code
    const float apGain = 500;                                   // of gain code 3 (see README)
    ElectrodePacket packet;
    for (int n = 0; n < 2500 && api.tolmaren_readElectrodeData(packet) == 0; ++n) // 1 s
        if (n % 500 == 0)
            std::printf("block %u: channel 0 at %.1f uV\n", unsigned(packet.ctrs[0][0]),
                        (packet.apData[0][0] - 512 * volts) / apGain * 1e6f);
    api.tolmaren_stopRecording();
    api.tolmaren_close();
}
