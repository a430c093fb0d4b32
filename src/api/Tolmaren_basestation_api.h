#pragma once

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "api/VersionNumber.h"
#include "config/AsicID.h"
#include "config/BaseConfiguration.h"
#include "config/ShankConfiguration.h"
#include "config/TestConfiguration.h"
#include "data/TolmarenConnectionLinkIntf.h"
#include "registers/neuroprobe.h"
#include "vci/VciInterface.h"

class ElectrodePacket;
class AdcPacket;

// The one object through which an application drives a probe system: it owns
// the configuration link (a register interface), the neural-data link, the
// register map on the configuration link, the three chain models, the
// calibration tables and the log. Status codes: 0 success, 1 a missing link or
// register map, 2 and above per operation.
class Tolmaren_basestation_api {
public:
    Tolmaren_basestation_api();
    ~Tolmaren_basestation_api();
    Tolmaren_basestation_api(const Tolmaren_basestation_api&) = delete;
    Tolmaren_basestation_api& operator=(const Tolmaren_basestation_api&) = delete;

    // The eight replaceable operations, called through the virtual table by
    // the facade's own procedures.
    virtual void tolmaren_close();
    virtual unsigned int tolmaren_readElectrodeData(ElectrodePacket& packet);
    virtual unsigned int tolmaren_readADCData(AdcPacket& packet);
    virtual unsigned int tolmaren_readUart(unsigned char device, unsigned char reg,
                                           std::vector<unsigned char>& data);
    virtual unsigned int tolmaren_writeUart(unsigned char device, unsigned char reg,
                                            std::vector<unsigned short> data);
    virtual unsigned int tolmaren_flushData();
    virtual unsigned int skipAdcData(unsigned int count);
    virtual unsigned int skipElectrodeData(unsigned int count);

    // --- core (log, connection, versions) ---
    void tolmaren_startLog();
    void tolmaren_milliSleep(unsigned int ms);
    bool tolmaren_isConnected();
    unsigned int tolmaren_getHardwareVersion(VersionNumber* version);
    VersionNumber tolmaren_getAPIVersion();
    unsigned int tolmaren_recalib();
    int8_t tolmaren_getOption();

    // The chain models are public so that applications and calibrations can
    // change them before having them written to the probe.
    BaseConfiguration baseConfiguration;
    TestConfiguration testConfiguration;
    ShankConfiguration shankConfiguration;

protected:
    TolmarenConnectionLinkIntf* dataLink_ = nullptr;
    VciInterface* configLink_ = nullptr;
    neuroprobe* datamodel_ = nullptr;

    std::vector<adcPairCommon> adcPairCommonCalibration_;
    std::vector<adcComp> adcCompCalibration_;
    std::vector<unsigned short> gainCorrectionCalibration_;
    std::vector<int> impedanceMeasurement_;
    bool adcSlopeCalibrationRun_ = false;
    bool adcOffsetCalibrationRun_ = false;
    bool comparatorCalibrationRun_ = false;
    bool gainCalibrationRun_ = false;

    AsicID asicId_;
    bool datamode_ = false;
    unsigned char eepromImage_[2048];
    bool dummyMode_ = false;
    std::ofstream log_;

    static constexpr unsigned int slopeCodes_ = 128;
    static constexpr unsigned int adcCount_ = 32;
    static constexpr unsigned int impedanceRecordLength_ = 1308;
    float** slopeTable_ = nullptr;
    double* sampleTimes_ = nullptr;
    float* sampleValues_ = nullptr;
    std::map<std::string, unsigned short> dcLevelCodes_;

    // True while the log file is open; every message is written only then.
    bool logging() const { return log_.is_open(); }
};
