#include <chrono>
#include <cstring>
#include <thread>

#include "api/BasestationAddress.h"
#include "api/Tolmaren_basestation_api.h"

Tolmaren_basestation_api::Tolmaren_basestation_api()
    : baseConfiguration(nullptr), shankConfiguration(nullptr),
      basestationAddress_(BasestationAddress::fromEnvironment()) {
    baseConfiguration.setAsicId(&asicId_);
    shankConfiguration.setAsicId(&asicId_);
    std::memset(eepromImage_, 0, sizeof eepromImage_);

    slopeTable_ = new float*[slopeCodes_];
    for (unsigned int c = 0; c < slopeCodes_; ++c)
        slopeTable_[c] = new float[adcCount_];
    sampleTimes_ = new double[impedanceRecordLength_];
    sampleValues_ = new float[impedanceRecordLength_];
    for (unsigned int i = 0; i < impedanceRecordLength_; ++i)
        sampleTimes_[i] = i / 30000.0;

    dcLevelCodes_ = {{"1.59", 0},    {"150", 2925},  {"200", 3933},   {"400", 7951},
                     {"450", 8954},  {"500", 9953},  {"600", 11960},  {"700", 13968},
                     {"750", 14970}, {"800", 15980}, {"1000", 19969}, {"1050", 20977}};
}

Tolmaren_basestation_api::~Tolmaren_basestation_api() {
    Tolmaren_basestation_api::tolmaren_close();
    if (log_.is_open()) {
        log_.close();
        if (log_.is_open()) log_.setstate(std::ios::failbit);
    }
    for (unsigned int c = 0; c < slopeCodes_; ++c)
        delete[] slopeTable_[c];
    delete[] slopeTable_;
    delete[] sampleTimes_;
    delete[] sampleValues_;
}

void Tolmaren_basestation_api::tolmaren_startLog() {
    tolmaren_startLog("api_log.txt");
}

void Tolmaren_basestation_api::tolmaren_startLog(const std::string& file) {
    log_.rdbuf()->pubsetbuf(nullptr, 0);
    log_.open(file, std::ios::out | std::ios::trunc);
    if (!log_.is_open())
        log_.setstate(std::ios::failbit);
    else
        log_.clear();
}

void Tolmaren_basestation_api::tolmaren_redirectDiagnostics(std::ostream* stream) {
    diagnostics_.redirect(stream);
}

void Tolmaren_basestation_api::tolmaren_milliSleep(unsigned int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Tolmaren_basestation_api::tolmaren_close() {
    if (logging()) log_ << "tolmaren_close() called\n";
    delete dataLink_;
    dataLink_ = nullptr;
    decoder_.reset();
    if (logging()) log_ << "data link disConnected\n";
    delete configLink_;
    configLink_ = nullptr;
    if (logging()) log_ << "configuration link disConnected\n";
    delete datamodel_;
    datamodel_ = nullptr;
    if (logging()) log_ << "api datamodel_ member deleted\n";
    dummyMode_ = false;
}

bool Tolmaren_basestation_api::tolmaren_isConnected() {
    if (logging()) log_ << "tolmaren_isConnected() called\n";
    const bool connected = dataLink_ != nullptr && configLink_ != nullptr;
    if (logging()) log_ << (connected ? "-> returns true\n" : "-> returns false\n");
    return connected;
}

unsigned int Tolmaren_basestation_api::tolmaren_getHardwareVersion(VersionNumber* version) {
    if (logging()) log_ << "tolmaren_getHardwareVersion(VersionNumber version)\n";
    if (configLink_ == nullptr || datamodel_ == nullptr) return 1;
    version->major = static_cast<uint16_t>(datamodel_->tolmaren_cfg.fpga_version.major.read());
    version->minor = static_cast<uint16_t>(datamodel_->tolmaren_cfg.fpga_version.minor.read());
    if (logging()) log_ << "-> {" << version->major << ", " << version->minor << ")\n";
    return 0;
}

VersionNumber Tolmaren_basestation_api::tolmaren_getAPIVersion() {
    if (logging())
        log_ << "tolmaren_getAPIVersion() called\n"
             << "-> {" << 4 << ", " << 1 << "}\n";
    VersionNumber version;
    version.major = 4;
    version.minor = 1;
    return version;
}

unsigned int Tolmaren_basestation_api::tolmaren_recalib() {
    return 1;
}

int8_t Tolmaren_basestation_api::tolmaren_getOption() {
    return asicId_.probeType;
}
