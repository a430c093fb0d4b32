#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"

unsigned int Tolmaren_basestation_api::tolmaren_setBasestationAddress(const std::string& address) {
    if (!BasestationAddress::isValid(address)) return 2;
    basestationAddress_ = address;
    return 0;
}

std::string Tolmaren_basestation_api::tolmaren_getBasestationAddress() {
    return basestationAddress_;
}

unsigned int Tolmaren_basestation_api::tolmaren_getConnectionFailure(ConnectionFailure& failure) {
    if (!connectionFailure_) return 1;
    failure = *connectionFailure_;
    return 0;
}

void Tolmaren_basestation_api::noteConnectionFailure(unsigned short port, int errorNumber,
                                                     const std::string& reason) {
    connectionFailure_ = ConnectionFailure{basestationAddress_, port, errorNumber, reason};
}
