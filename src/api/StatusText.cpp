#include "api/StatusText.h"

#include <map>

namespace {

using Table = std::map<unsigned int, const char*>;

const Table openCodes = {
    {1, "connecting to the basestation's data port (1234) failed"},
    {2, "connecting to the basestation's configuration port (1235) failed"},
    {3, "the probe is already open"},
    {4, "the FPGA's major version is not the API's (4)"},
    {5, "configuring the deserializer failed"},
    {6, "configuring the serializer failed"},
    {7, "setting the headstage's ND_ENABLE failed"},
    {8, "setting the headstage's TE failed"},
    {9, "setting the headstage's PR_NRST failed"},
    {10, "setting the headstage's NRST failed"},
    {11, "setting the ASIC mode failed"},
    {12, "reading the probe identity from the EEPROM failed"},
    {13, "writing the default base chain failed"},
    {14, "writing the default shank chain failed"},
    {15, "writing the default test chain failed"},
    {16, "the register map was missing when enabling the start-trigger output"},
    {19, "a default calibration table was refused"},
    {20, "reading or writing the headstage's control registers failed"},
    {21, "resetting the headstage registers failed"},
    {22, "the register map was missing when setting the data mode"},
};

const Table readCodes = {
    {1, "no probe is open"},
    {2, "the basestation is in ADC data mode"},
    {3, "no data arrived within 1 s"},
    {4, "a marker, block index or reserved bit of the stream was wrong"},
};

const Table guardCodes = {{1, "no probe is open"}};

const Table configurationCodes = {
    {1, "no probe is open, or its probe type has no shank"},
    {2, "the channel is out of range"},
    {3, "the value is out of range (or the channel has no electrode in that bank)"},
    {4, "writing the base chain to the probe failed"},
    {5, "writing the shank chain to the probe failed"},
};

const Table chainCodes = {
    {1, "reading the ASIC mode failed"},
    {2, "entering or restoring the ASIC mode failed"},
    {3, "selecting the chain failed"},
    {4, "sending the shift words failed"},
    {5, "receiving the read-back failed"},
    {6, "the chain read back differs from the one written (or cannot be encoded)"},
    {8, "no probe is open"},
};

const Table csvCodes = {
    {1, "the file does not open"},
    {2, "the chain in the file has the wrong length for this probe"},
};

const Table eepromCodes = {
    {2, "writing the control register or reading the status register failed"},
    {4, "writing the address high byte failed"},
    {5, "writing the address low byte failed"},
    {6, "writing the data byte failed"},
    {7, "reading the data register failed"},
    {8, "writing the command register failed"},
    {9, "the EEPROM did not report the transaction done"},
    {10, "the EEPROM reported a transaction error"},
    {11, "the serial number or probe type is out of range"},
    {12, "writing the start register failed"},
};

const Table datapathCodes = {
    {1, "the DMA reports an error: data was lost"},
    {2, "self test 9 result 0 reports an error"},
    {3, "self test 9 result 2 reports an error"},
    {4, "self test 7 counted errors"},
    {5, "a self test 9 result (4 to 7) reports an error"},
};

const Table calibrationEepromCodes = [] {
    Table codes = eepromCodes;
    codes[11] = "the calibration table does not have the size this probe type needs";
    return codes;
}();

const Table adcCalibrationCodes = {
    {1, "setting the ASIC mode failed"},
    {2, "the base configuration model refused a value"},
    {3, "writing a configuration chain to the probe failed"},
    {4, "no probe is open"},
    {5, "the signal generator did not take the DC level"},
    {6, "skipping or reading ADC packets failed"},
    {7, "the datapath reset failed"},
    {8, "an earlier calibration is missing (slope, offset and comparator run in this order)"},
    {9, "no slope code brought a pair's gains near 1: do the ADCs see the signal generator?"},
};

const Table gainCalibrationCodes = {
    {1, "setting the ASIC mode failed"},
    {2, "the base configuration model refused a value"},
    {3, "writing a configuration chain to the probe failed"},
    {4, "no probe is open"},
    {6, "skipping or reading electrode packets failed"},
    {7, "the datapath reset failed"},
    {8, "the ADC calibration is incomplete"},
    {10, "connecting the electrodes failed"},
    {11, "writing the unit gain table to the basestation failed"},
};

const Table impedanceCodes = {
    {1, "setting the ASIC mode failed"},
    {3, "writing the shank chain failed"},
    {4, "no probe is open"},
    {6, "reading electrode packets failed"},
    {7, "the datapath reset failed"},
    {8, "no gain calibration is held"},
    {10, "connecting the electrodes failed"},
};

const Table generatorCodes = {
    {1, "reading the signal generator's control register failed"},
    {2, "writing a signal generator register failed"},
    {3, "the signal generator has no such level or setting"},
};

const Table gainTableCodes = {
    {1, "no probe is open"},
    {2, "the basestation is in ADC data mode"},
    {3, "the table's size does not fit the probe type (384, 960 or 966 entries)"},
};

const Table addressCodes = {{2, "not a numeric IPv4 address in dotted decimal"}};

const Table applyCodes = {{1, "reading the calibration from the EEPROM or applying it failed"}};

const std::map<std::string, const Table*>& tables() {
    static const std::map<std::string, const Table*> byOperation = {
        {"tolmaren_open", &openCodes},
        {"tolmaren_readElectrodeData", &readCodes},
        {"tolmaren_readADCData", &readCodes},
        {"tolmaren_datamode", &guardCodes},
        {"tolmaren_resetDatapath", &guardCodes},
        {"tolmaren_startRecording", &guardCodes},
        {"tolmaren_stopRecording", &guardCodes},
        {"tolmaren_getHardwareVersion", &guardCodes},
        {"tolmaren_getBSVersion", &guardCodes},
        {"tolmaren_getBSRevision", &guardCodes},
        {"tolmaren_readTemperature", &guardCodes},
        {"tolmaren_setGain", &configurationCodes},
        {"tolmaren_setReference", &configurationCodes},
        {"tolmaren_setStdb", &configurationCodes},
        {"tolmaren_setFilter", &configurationCodes},
        {"tolmaren_selectElectrode", &configurationCodes},
        {"tolmaren_writeAllAPGains", &configurationCodes},
        {"tolmaren_writeAllLFPGains", &configurationCodes},
        {"tolmaren_writeAllStandby", &configurationCodes},
        {"tolmaren_writeAllReferences", &configurationCodes},
        {"tolmaren_writeBaseRegister", &chainCodes},
        {"tolmaren_writeShankRegister", &chainCodes},
        {"tolmaren_writeTestRegister", &chainCodes},
        {"tolmaren_readBaseConfigurationFromCsv", &csvCodes},
        {"tolmaren_readShankConfigurationFromCsv", &csvCodes},
        {"tolmaren_readTestConfigurationFromCsv", &csvCodes},
        {"tolmaren_readId", &eepromCodes},
        {"tolmaren_writeId", &eepromCodes},
        {"tolmaren_readEeprom", &eepromCodes},
        {"tolmaren_checkBasestationDatapath", &datapathCodes},
        {"tolmaren_ADCSlopeCalibration", &adcCalibrationCodes},
        {"tolmaren_ADCOffsetCalibration", &adcCalibrationCodes},
        {"tolmaren_comparatorCalibration", &adcCalibrationCodes},
        {"tolmaren_gainCalibration", &gainCalibrationCodes},
        {"tolmaren_impedanceMeasurement", &impedanceCodes},
        {"tolmaren_generateSine", &generatorCodes},
        {"tolmaren_writeADCCalibration", &calibrationEepromCodes},
        {"tolmaren_writeGainCorrection", &calibrationEepromCodes},
        {"tolmaren_readADCCalibration", &calibrationEepromCodes},
        {"tolmaren_readGainCorrection", &calibrationEepromCodes},
        {"tolmaren_applyAdcCalibrationFromEeprom", &applyCodes},
        {"tolmaren_gainCorrection", &gainTableCodes},
        {"tolmaren_getGainCorrection", &gainTableCodes},
        {"tolmaren_setBasestationAddress", &addressCodes},
        {"tolmaren_applyGainCalibrationFromEeprom", &applyCodes},
    };
    return byOperation;
}

} // namespace

std::string StatusText::of(const std::string& operation, unsigned int code) {
    const auto table = tables().find(operation);
    if (table != tables().end()) {
        const auto entry = table->second->find(code);
        if (entry != table->second->end()) return entry->second;
    }
    return "status code " + std::to_string(code);
}
