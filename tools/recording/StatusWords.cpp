#include "recording/StatusWords.h"

#include <cerrno>

#include "api/StatusText.h"
#include "recording/StatusError.h"

namespace tolmaren_recording {

namespace {

constexpr unsigned short dataPort = 1234;

} // namespace

std::string StatusWords::failure(const std::string& operation, unsigned int code) {
    return operation + " failed: " + StatusText::of(operation, code) + " (code " +
           std::to_string(code) + ")";
}

void StatusWords::check(const std::string& operation, unsigned int code) {
    if (code != 0) throw StatusError(operation, code, failure(operation, code));
}

std::string StatusWords::openFailure(Tolmaren_basestation_api& api, unsigned int code,
                                     const std::string& refusedHint) {
    ConnectionFailure failed;
    if ((code != 1 && code != 2) || api.tolmaren_getConnectionFailure(failed) != 0)
        return failure("tolmaren_open", code);
    return "tolmaren_open failed: " + connectionFailure(failed) + " (code " + std::to_string(code) +
           ")" + (failed.errorNumber == ECONNREFUSED ? refusedHint : "");
}

std::string StatusWords::connectionFailure(const ConnectionFailure& failure) {
    const char* const port = failure.port == dataPort ? "data port" : "configuration port";
    std::string words = std::string("no connection to the basestation's ") + port + " at " +
                        failure.address + ":" + std::to_string(failure.port) + ": " +
                        failure.reason;
    if (failure.errorNumber != 0) words += " (errno " + std::to_string(failure.errorNumber) + ")";
    return words;
}

} // namespace tolmaren_recording
