#include <memory>
#include <system_error>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"
#include "data/TolmarenDataConnectionLink.h"
#include "link/Diagnostics.h"
#include "link/HdlcConnectionLink32.h"
#include "link/RequestResponseLink.h"
#include "link/TcpConnectionLink.h"
#include "vci/VciEncoder.h"

namespace {

constexpr unsigned short configPort = 1235;
constexpr unsigned short dataPort = 1234;
// The basestation needs this long after its reset before it takes commands.
constexpr unsigned int resetPauseMs = 200;
constexpr unsigned char digitalControl2 = 0x11;
constexpr unsigned char digitalControl2Bit2 = 0x04;
constexpr unsigned char eepromControllerSetting = 0x65;
constexpr unsigned char eepromControllerSettingValue = 0xA0;
constexpr unsigned char configurationMode = 0;
constexpr unsigned char recordingMode = 3;
constexpr unsigned short unitGain = 512;
constexpr std::size_t adcPairCount = 16;
constexpr std::size_t adcCount = 32;

// The system's error number of a failed connection, 0 for a failure before any
// attempt (the address did not resolve).
int connectError(const morvek::TCPSocket::Exception& failure) {
    const auto* attempt = dynamic_cast<const morvek::TCPSocket::ConnectFailed*>(&failure);
    return attempt != nullptr ? attempt->error() : 0;
}

std::string connectReason(const morvek::TCPSocket::Exception& failure) {
    const int error = connectError(failure);
    return error != 0 ? std::generic_category().message(error) : failure.what();
}

} // namespace

unsigned int Tolmaren_basestation_api::setupConfigLink() {
    // The basestation serves one configuration client at a time, so a link
    // built earlier is closed before the new one connects.
    delete datamodel_;
    datamodel_ = nullptr;
    delete configLink_;
    configLink_ = nullptr;
    // A name or a shortened form would be resolved, perhaps by asking a name
    // service, into an address the application did not mean.
    if (!BasestationAddress::isValid(basestationAddress_)) {
        noteConnectionFailure(configPort, 0, "not a numeric IPv4 address");
        delete dataLink_;
        dataLink_ = nullptr;
        return 1;
    }
    try {
        // Each layer takes ownership of the one below only once it exists.
        auto tcp =
            std::make_unique<TcpConnectionLink>(basestationAddress_, configPort, diagnostics_);
        auto hdlc = std::make_unique<HdlcConnectionLink32>(tcp.get(), diagnostics_);
        tcp.release();
        auto transactions = std::make_unique<RequestResponseLink>(hdlc.get());
        hdlc.release();
        auto encoder =
            std::make_unique<VciEncoder>(transactions.get(), VciEncoding::Width32, diagnostics_);
        transactions.release();
        datamodel_ = new neuroprobe(0, encoder.get());
        configLink_ = encoder.release();
    } catch (const morvek::TCPSocket::Exception& failure) {
        noteConnectionFailure(configPort, connectError(failure), connectReason(failure));
        delete dataLink_;
        dataLink_ = nullptr;
        return 1;
    }
    if (logging()) log_ << "configuration link successfully connected\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_open(unsigned char setting) {
    if (logging()) log_ << "tolmaren_open() called\n";
    if (dataLink_ != nullptr || configLink_ != nullptr) return 3;
    if (setupConfigLink() != 0) return 2;

    neuroprobe& map = *datamodel_;
    map.tolmaren_reset.reset.write(1);
    map.tolmaren_reset.reset.write(0);
    map.deserializer_intf.open_setting.write(setting);
    tolmaren_milliSleep(resetPauseMs);
    // Held in reset until the probe is configured; the datapath reset at the
    // end releases it.
    map.tolmaren_cfg.datapath_reset.write(1);
    map.vci2uart.uart_settings.parity_enable.write(1);
    if (logging()) log_ << "enable use of uart parity bit in basestation fpga\n";

    try {
        const Diagnostics::Scope announcement(diagnostics_);
        auto* link = new TolmarenDataConnectionLink(basestationAddress_, dataPort);
        link->setLowLatency(lowLatency_);
        dataLink_ = link;
    } catch (const morvek::TCPSocket::Exception& failure) {
        noteConnectionFailure(dataPort, connectError(failure), connectReason(failure));
        return 1;
    }
    if (logging()) log_ << "data link successfully connected\n";

    if (map.tolmaren_cfg.fpga_version.major.read() != tolmaren_getAPIVersion().major) {
        tolmaren_close();
        return 4;
    }
    if (logging()) log_ << "hardware and software versions have equal majors\n";
    // The display is a courtesy; a failure to show the text is not an error.
    tolmaren_writeLCD("    Tolmaren    ", "   BaseStation  ");

    if (const unsigned int status = configureHeadstage()) return status;
    if (const unsigned int status = configureProbe()) return status;

    // Ignored like any datapath reset here: there is nothing to undo.
    tolmaren_resetDatapath();
    if (tolmaren_mode(recordingMode) != 0) return 11;
    if (logging())
        log_ << "successfully configured headstage MODE to Recording\n"
             << "tolmaren_open() done\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::configureHeadstage() {
    if (tolmaren_configureDeserializer() != 0) return 5;
    if (logging()) log_ << "enable hamming sucessfully configured in deserializer\n";
    if (tolmaren_configureSerializer() != 0) return 6;
    if (logging()) log_ << "enable hamming sucessfully configured in serializer\n";
    if (resetHeadstageRegisters() != 0) return 21;

    unsigned char control = 0;
    if (tolmaren_headstageReadRegister(digitalControl2, control) != 0) return 20;
    if (tolmaren_headstageWriteRegister(digitalControl2, control | digitalControl2Bit2) != 0)
        return 20;
    if (tolmaren_headstageWriteRegister(eepromControllerSetting, eepromControllerSettingValue) != 0)
        return 20;

    if (tolmaren_ndEnable(true) != 0) return 7;
    if (logging()) log_ << "successfully configured headstage ND_ENABLE to 1\n";
    if (tolmaren_te(0) != 0) return 8;
    if (logging()) log_ << "successfully configured headstage TE to 0\n";
    if (tolmaren_prnrst(true) != 0) return 9;
    if (logging()) log_ << "successfully configured headstage PR_NRST to 1\n";
    if (tolmaren_nrst(true) != 0) return 10;
    if (logging()) log_ << "successfully configured headstage NRST to 1\n";
    if (tolmaren_mode(configurationMode) != 0) return 11;
    return 0;
}

unsigned int Tolmaren_basestation_api::configureProbe() {
    if (datamodel_ == nullptr) return 22;
    datamode_ = true;
    datamodel_->tolmaren_cfg.datamode.write(1);

    if (tolmaren_readId(asicId_) != 0) return 12;
    if (logging()) log_ << "successfully read asic ID from EEPROM\n";

    baseConfiguration.reset();
    if (logging()) log_ << "baseConfiguration member of api reset to default values\n";
    if (tolmaren_writeBaseRegister(false) != 0) return 13;
    if (logging()) log_ << "base shift register successfully written with default values\n";
    if (const unsigned int status = installDefaultCalibration()) return status;

    shankConfiguration.reset();
    if (tolmaren_getOption() > 1) {
        if (logging())
            log_ << "shankConfiguration member of api reset to default values\n"
                 << "(-> i.e., all electrodes disconected +\n"
                 << "    neither for the odd nor for the even channels the external reference is "
                    "used)\n";
        if (tolmaren_writeShankRegister(false) != 0) return 14;
        if (logging()) log_ << "shank shift register successfully written with default values\n";
    }
    testConfiguration.reset();
    if (logging()) log_ << "testConfiguration member of api reset to default values\n";
    if (tolmaren_writeTestRegister() != 0) return 15;
    if (logging()) log_ << "test shift register successfully written with default values\n";

    if (datamodel_ == nullptr) return 16;
    datamodel_->deserializer_intf.startTrigger_output_enable.write(1);
    if (logging()) log_ << "successfully configured basestation startTrigger_output_enable to 1\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::installDefaultCalibration() {
    std::vector<adcPairCommon> pairs = baseConfiguration.getAdcCalibrationCommon();
    if (pairs.size() != adcPairCount) return 19;
    adcPairCommonCalibration_ = std::move(pairs);
    adcSlopeCalibrationRun_ = true;
    adcOffsetCalibrationRun_ = true;

    std::vector<adcComp> comps = baseConfiguration.getAdcCalibrationComp();
    if (comps.size() != adcCount) return 19;
    adcCompCalibration_ = std::move(comps);
    comparatorCalibrationRun_ = true;

    if (tolmaren_setGainCorrectionCalibration(
            std::vector<unsigned short>(gainCorrectionEntries(), unitGain)) != 0)
        return 19;
    if (logging()) log_ << "calibration members set\n";
    return 0;
}
