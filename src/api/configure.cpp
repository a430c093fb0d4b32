#include <ios>

#include "api/Tolmaren_basestation_api.h"

// Each operation changes the chain model first and then, always or when
// asked, writes the whole chain with read-back verification. A failed write
// leaves the model changed.

unsigned int Tolmaren_basestation_api::tolmaren_selectElectrode(int channel, int bank, bool write) {
    if (logging())
        log_ << "tolmaren_selectElectrode(" << std::dec << channel << ", " << bank << ") called";
    if (const unsigned int status = shankConfiguration.setElectrodeConnection(
            static_cast<unsigned int>(channel), static_cast<uint8_t>(bank)))
        return status;
    if (logging())
        log_ << "electrode connection successfully written to api member shankConfiguration\n";
    if (!write) return 0;
    if (tolmaren_writeShankRegister(true) != 0) return 5;
    if (logging())
        log_ << "electrode connection successfully written to basestation fpga configuration "
                "registers and"
             << " shank shift register\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setExtRef(bool use, bool write) {
    if (logging()) log_ << "tolmaren_setExtRef(" << (use ? "1" : "0") << ") called";
    shankConfiguration.setEvenReference(use);
    shankConfiguration.setOddReference(use);
    if (logging())
        log_ << "ext ref connection successfully written to api member shankConfiguration\n";
    if (!write) return 0;
    if (tolmaren_writeShankRegister(true) != 0) return 5;
    if (logging()) log_ << "ext ref successfully written to shank shift register\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::writeBaseChainLogged() {
    if (tolmaren_writeBaseRegister(true) != 0) return 4;
    if (logging()) log_ << "base shift register successfully written\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setGain(int channel, int apGain, int lfpGain,
                                                        bool write) {
    if (logging())
        log_ << "tolmaren_setGain(" << std::dec << channel << ", " << apGain << ", " << lfpGain
             << ") called\n";
    const auto index = static_cast<unsigned int>(channel);
    // The AP gain stays changed when the LFP gain is refused.
    if (const unsigned int status =
            baseConfiguration.setChannelSettingApGain(index, static_cast<uint8_t>(apGain)))
        return status;
    if (const unsigned int status =
            baseConfiguration.setChannelSettingLfpGain(index, static_cast<uint8_t>(lfpGain)))
        return status;
    if (logging())
        log_ << "ap = " << std::dec << apGain << " and lfp = " << lfpGain << " gain for channel "
             << channel << " successfully written to api member baseConfiguration\n";
    return write ? writeBaseChainLogged() : 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setStdb(int channel, bool standby, bool write) {
    if (logging())
        log_ << "tolmaren_setStdb(" << std::dec << channel << ", " << (standby ? "1" : "0")
             << ") called\n";
    if (const unsigned int status =
            baseConfiguration.setChannelSettingStandby(static_cast<unsigned int>(channel), standby))
        return status;
    if (logging())
        log_ << "standby = " << (standby ? "1" : "0") << "for channel " << std::dec << channel
             << " successfully written to api member baseConfiguration\n";
    return write ? writeBaseChainLogged() : 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setFilter(int value) {
    if (logging()) log_ << "tolmaren_setFilter(" << std::dec << value << ") called\n";
    if (const unsigned int status =
            baseConfiguration.setAdditionalSettingBwHp(static_cast<unsigned int>(value)))
        return status;
    if (logging())
        log_ << "additional setting BwHp = " << std::dec << value << " successfully written"
             << " to api member baseConfiguration\n";
    return writeBaseChainLogged();
}

unsigned int Tolmaren_basestation_api::tolmaren_setReference(int channel, int index, bool write) {
    if (const unsigned int status = baseConfiguration.setChannelReferenceIndex(
            static_cast<unsigned int>(channel), static_cast<unsigned int>(index)))
        return status;
    if (write && tolmaren_writeBaseRegister(true) != 0) return 4;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeAllAPGains(int gain) {
    if (const unsigned int status = baseConfiguration.setAllAPGains(static_cast<uint8_t>(gain)))
        return status;
    return tolmaren_writeBaseRegister(true) == 0 ? 0 : 4;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeAllLFPGains(int gain) {
    if (const unsigned int status = baseConfiguration.setAllLFPGains(static_cast<uint8_t>(gain)))
        return status;
    return tolmaren_writeBaseRegister(true) == 0 ? 0 : 4;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeAllStandby(bool standby) {
    baseConfiguration.setAllStandby(standby);
    return tolmaren_writeBaseRegister(true) == 0 ? 0 : 4;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeAllReferences(unsigned char index) {
    if (const unsigned int status = baseConfiguration.setAllReferences(index)) return status;
    return tolmaren_writeBaseRegister(true) == 0 ? 0 : 4;
}
