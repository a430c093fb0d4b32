#include "api/Tolmaren_basestation_api.h"
#include "data/TolmarenDataConnectionLink.h"
#include "link/Diagnostics.h"
#include "link/TCPSocket.h"
#include "vci/VciDummy.h"

unsigned int Tolmaren_basestation_api::tolmaren_open(const std::string& file) {
    if (logging()) log_ << "tolmaren_open(" << file << ") called\n";
    if (dataLink_ != nullptr) return 3;
    try {
        const Diagnostics::Scope announcement(diagnostics_);
        dataLink_ = new TolmarenDataConnectionLink(file);
    } catch (const morvek::TCPSocket::Exception&) {
        return 1;
    }
    if (logging()) log_ << "data link successfully connected\n";

    if (configLink_ != nullptr) return 3;
    try {
        configLink_ = new VciDummy(diagnostics_);
        datamodel_ = new neuroprobe(0, configLink_);
    } catch (const morvek::TCPSocket::Exception&) {
        delete dataLink_;
        dataLink_ = nullptr;
        return 2;
    }
    if (logging()) log_ << "configuration link successfully connected\n";

    baseConfiguration.reset();
    if (logging()) log_ << "baseConfiguration member of api reset to default values\n";
    testConfiguration.reset();
    if (logging()) log_ << "testConfiguration member of api reset to default values\n";
    shankConfiguration.reset();
    if (logging())
        log_ << "shankConfiguration member of api reset to default values\n"
             << "(-> i.e., all electrodes disconected +\n"
             << "    neither for the odd nor for the even channels the external reference is "
                "used)\n";

    datamodel_->vci2uart.uart_settings.parity_enable.write(1);
    if (logging()) log_ << "enable use of uart parity bit in basestation fpga\n";
    dummyMode_ = true;
    if (logging()) log_ << "api member dummyMode_ is set true\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_startRecording(std::string file) {
    if (!tolmaren_isConnected()) return 1;
    dataLink_->startRecording(file);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_stopRecording() {
    if (!tolmaren_isConnected()) return 1;
    dataLink_->stopRecording();
    return 0;
}
