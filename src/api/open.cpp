#include <memory>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"
#include "link/HdlcConnectionLink32.h"
#include "link/RequestResponseLink.h"
#include "link/TcpConnectionLink.h"
#include "vci/VciEncoder.h"

namespace {

constexpr unsigned short configPort = 1235;

} // namespace

unsigned int Tolmaren_basestation_api::setupConfigLink() {
    // The basestation serves one configuration client at a time, so a link
    // built earlier is closed before the new one connects.
    delete datamodel_;
    datamodel_ = nullptr;
    delete configLink_;
    configLink_ = nullptr;
    try {
        // Each layer takes ownership of the one below only once it exists.
        auto tcp = std::make_unique<TcpConnectionLink>(tolmarenBasestationAddress, configPort);
        auto hdlc = std::make_unique<HdlcConnectionLink32>(tcp.get());
        tcp.release();
        auto transactions = std::make_unique<RequestResponseLink>(hdlc.get());
        hdlc.release();
        auto encoder = std::make_unique<VciEncoder>(transactions.get(), VciEncoding::Width32);
        transactions.release();
        datamodel_ = new neuroprobe(0, encoder.get());
        configLink_ = encoder.release();
    } catch (const morvek::TCPSocket::Exception&) {
        delete dataLink_;
        dataLink_ = nullptr;
        return 1;
    }
    if (logging()) log_ << "configuration link successfully connected\n";
    return 0;
}
