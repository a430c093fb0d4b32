#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "api/ConnectionFailure.h"
#include "api/DacControlStatusCode.h"
#include "api/Test4Settings.h"
#include "api/VersionNumber.h"
#include "config/AsicID.h"
#include "config/BaseConfiguration.h"
#include "config/ShankConfiguration.h"
#include "config/TestConfiguration.h"
#include "data/AdcPacket.h"
#include "data/CodePacket.h"
#include "data/DataLinkSource.h"
#include "data/ElectrodePacket.h"
#include "data/StreamDecoder.h"
#include "data/TolmarenConnectionLinkIntf.h"
#include "link/DiagnosticsSink.h"
#include "registers/neuroprobe.h"
#include "vci/VciInterface.h"

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
    // Opens the log "api_log.txt" in the working directory.
    void tolmaren_startLog();
    // Opens the named file as the log instead, so that several facades of
    // one process can each keep a log of their own.
    void tolmaren_startLog(const std::string& file);
    void tolmaren_milliSleep(unsigned int ms);
    bool tolmaren_isConnected();
    unsigned int tolmaren_getHardwareVersion(VersionNumber* version);
    VersionNumber tolmaren_getAPIVersion();
    unsigned int tolmaren_recalib();
    int8_t tolmaren_getOption();

    // --- basestation address, connection failures, diagnostics ---
    // The IPv4 address (dotted decimal, "192.168.0.2") that both links of
    // the next open connect to: 0 taken; 2 not such an address, and the
    // address stays. Without it a facade connects to the address that the
    // environment variable TOLMAREN_BASESTATION_ADDRESS named when it was
    // constructed, else to the one the library was built with.
    unsigned int tolmaren_setBasestationAddress(const std::string& address);
    // The address the next open connects to.
    std::string tolmaren_getBasestationAddress();
    // The last connection of this facade that failed (address, port and the
    // system's reason): 0 filled in; 1 none has failed.
    unsigned int tolmaren_getConnectionFailure(ConnectionFailure& failure);
    // This facade's diagnostic lines (those of the links it builds) go to the
    // stream from now on, whole, or nowhere when it is null; until then they
    // go to the process-wide sink (Diagnostics). The stream must outlive the
    // facade's links.
    void tolmaren_redirectDiagnostics(std::ostream* stream);

    // --- configuration link ---
    // Connects the register interface to the basestation's port 1235 and
    // builds the register map on it: 0 done, 1 the connection failed (see
    // tolmaren_getConnectionFailure).
    unsigned int setupConfigLink();
    // Brings a live system from nothing to recording: both links, the
    // serial link and headstage, the probe identity from the EEPROM, default
    // chains and calibration tables, start-trigger output, recording mode.
    // The setting goes unchanged to the basestation's open_setting register.
    // 0 open; otherwise the code of the step that failed (1 data link, 2
    // configuration link, 3 already open, 4 FPGA major version differs, 5/6
    // deserializer/serializer, 7 ND_ENABLE, 8 TE, 9 PR_NRST, 10 NRST, 11 mode,
    // 12 identity, 13/14/15 base/shank/test chain, 20 headstage control, 21
    // headstage reset). Only code 4 closes the facade again; after any other
    // failure tolmaren_close() and a new open recover.
    unsigned int tolmaren_open(unsigned char setting);

    // --- neural data ---
    // Opens the facade on a recorded data stream, with an in-memory register
    // space in place of the basestation.
    unsigned int tolmaren_open(const std::string& file);
    unsigned int tolmaren_startRecording(std::string file);
    unsigned int tolmaren_stopRecording();
    // The next size bytes of the stream, undecoded; empty without a data link.
    ConnectionLinkPacket tolmaren_readUnprocessed(unsigned int size);
    // Low-latency reads, off by default: the live data link hands each read
    // its bytes as soon as they have arrived, instead of once its 1-MiB
    // buffer is full (about 57 ms of the real-time stream). Recording and
    // the link's keeping of every byte are the same either way. Applies to
    // the open data link and to every one opened later.
    void tolmaren_setLowLatency(bool on);
    float tolmaren_getScaleFactorToVoltage();
    // The stream's decoder, which the reads above go through, on whichever
    // data link is open: for readers that take packets as codes, with the
    // block counter followed and gaps counted (StreamDecoder::next()). Its
    // counts start afresh at every close.
    StreamDecoder& tolmaren_getStreamDecoder() { return decoder_; }
    unsigned int tolmaren_gainCorrection(std::vector<unsigned short>& table);
    unsigned int tolmaren_setGainCorrectionCalibration(std::vector<unsigned short> table);
    unsigned int tolmaren_getGainCorrectionCalibration(std::vector<unsigned short>& table);
    unsigned int tolmaren_getGainCorrection(std::vector<unsigned short>& table);

    // --- basestation control ---
    unsigned int tolmaren_setBSSwHbeat(bool on);
    unsigned int tolmaren_getBSSwHbeat(bool& on);
    unsigned int setNeuralStart(bool on);
    unsigned int tolmaren_getNeuralStart(bool& on);
    unsigned int tolmaren_triggerMode(bool on);
    unsigned int tolmaren_getTriggerMode(bool& on);
    unsigned int tolmaren_setSyncExtStart(bool on);
    unsigned int tolmaren_getSyncExtStart(bool& on);
    unsigned int tolmaren_supplyBS(bool on);
    unsigned int tolmaren_getSupplyBS(bool& on);
    unsigned int tolmaren_setDataZeroing(bool on);
    unsigned int tolmaren_getDataZeroing(bool& on);
    unsigned int tolmaren_setLockChecking(bool on);
    unsigned int tolmaren_getLockChecking(bool& on);
    unsigned int tolmaren_setBypassDatapath(bool on);
    unsigned int tolmaren_getBSVersion(unsigned char& version);
    unsigned int tolmaren_getBSRevision(unsigned char& revision);
    // true = electrode data, false = ADC data.
    unsigned int tolmaren_datamode(bool electrodeData);
    bool tolmaren_getDatamode();
    unsigned int tolmaren_readDatamodeFromBS(bool& electrodeData);
    unsigned int tolmaren_resetDatapath();
    // The software start: acts only while the start-trigger output is enabled.
    unsigned int tolmaren_setNeuralStart();
    // 0 healthy, 1 to 5 the first error found (1 also without an open probe).
    unsigned int tolmaren_checkBasestationDatapath();
    // Fill of the data FIFO in percent (0 without an open probe).
    float tolmaren_fifoFilling();
    unsigned int tolmaren_enableBasestationGenerator(bool enable, unsigned char parameter,
                                                     unsigned int exponent);
    unsigned int tolmaren_getBasestationGeneratorEnabled(bool& enable, unsigned char& parameter,
                                                         unsigned int& exponent);
    unsigned int tolmaren_readTemperature(float& celsius);
    // Two lines of exactly 16 characters; 3 when either is not.
    unsigned int tolmaren_writeLCD(std::string line1, std::string line2);

    // --- headstage serial link ---
    unsigned int tolmaren_serializerWriteRegister(unsigned char reg, unsigned char value);
    unsigned int tolmaren_deserializerWriteRegister(unsigned char reg, unsigned char value);
    unsigned int tolmaren_headstageWriteRegister(unsigned char reg, unsigned char value);
    unsigned int tolmaren_serializerReadRegister(unsigned char reg, unsigned char& value);
    unsigned int tolmaren_deserializerReadRegister(unsigned char reg, unsigned char& value);
    unsigned int tolmaren_headstageReadRegister(unsigned char reg, unsigned char& value);
    unsigned int tolmaren_configureSerializer();
    unsigned int tolmaren_configureDeserializer();
    unsigned int resetHeadstageRegisters();
    void tolmaren_resetUart();
    unsigned int tolmaren_te(unsigned char value);
    unsigned int tolmaren_ndEnable(bool on);
    unsigned int tolmaren_HSSwHbeat(bool on);
    unsigned int tolmaren_bistRx(bool on);
    unsigned int tolmaren_bistTx(bool on);
    unsigned int tolmaren_nrst(bool on);
    unsigned int tolmaren_prnrst(bool on);
    unsigned int tolmaren_HSReset(bool on);
    // ASIC mode: 0 configuration, 1 calibration, 3 recording.
    unsigned int tolmaren_mode(unsigned char mode);
    unsigned int tolmaren_readMode(unsigned char& mode);
    unsigned int tolmaren_getDigCtrl(unsigned char& mode, bool& te, bool& nrst, bool& prnrst,
                                     bool& ndEnable, bool& heartbeat, bool& hsReset, bool& bistRx,
                                     bool& bistTx);

    // --- EEPROM: probe identity and stored calibration ---
    // EEPROM codes: 0 done, 2 control/status register, 4/5 address high/low,
    // 6 data byte, 7 read-data register, 8 command register, 9 transaction not
    // done, 10 transaction error, 11 argument out of range or calibration table
    // of the wrong size, 12 start register. Multi-byte operations stop at the
    // first failing byte, which can leave old and new bytes mixed.
    unsigned int tolmaren_writeEeprom(short address, unsigned char value);
    // value is set only on success.
    unsigned int tolmaren_readEeprom(short address, unsigned char& value);
    // Serial number below 2^30, probe type 0 to 3; sets the open probe's
    // identity before it is stored.
    unsigned int tolmaren_writeId(AsicID& id);
    unsigned int tolmaren_readId(AsicID& id);
    unsigned int tolmaren_writeGainCorrection();
    unsigned int tolmaren_readGainCorrection();
    unsigned int tolmaren_writeADCCalibration();
    unsigned int tolmaren_readADCCalibration();
    // 0 done, 1 any failure.
    unsigned int tolmaren_applyGainCalibrationFromEeprom();
    unsigned int tolmaren_applyAdcCalibrationFromEeprom();
    // Packed identity: serial number in bits 0..29, probe type in bits 30..31.
    unsigned int tolmaren_asicIdStructToUnsignedInt();
    AsicID tolmaren_asicIdUnsignedIntToStruct(unsigned int packed);
    AsicID tolmaren_getId();
    // Set: 1 unless 16 pairs / 32 comparators. Get: 1 while none are held.
    unsigned int tolmaren_setADCPairCommonCalibration(std::vector<adcPairCommon> pairs);
    unsigned int tolmaren_getADCPairCommonCalibration(std::vector<adcPairCommon>& pairs);
    unsigned int tolmaren_setADCCompCalibration(std::vector<adcComp> comps);
    unsigned int tolmaren_getADCCompCalibration(std::vector<adcComp>& comps);

    // --- configuration chains in CSV files: one line per chain bit, "1," or "0," ---
    // Writers report nothing; a file that cannot be created is not written.
    void tolmaren_writeBaseConfigurationToCsv(std::string file);
    void tolmaren_writeShankConfigurationToCsv(std::string file);
    void tolmaren_writeTestConfigurationToCsv(std::string file);
    // 0 read into the model; 1 the file does not open; 2 the chain is not
    // 7414 (base), 962/968 for probe type 2/3 (shank) or 18 (test) bits
    // long, or a line is longer than 1 MiB, and the model is untouched.
    unsigned int tolmaren_readBaseConfigurationFromCsv(std::string file);
    unsigned int tolmaren_readShankConfigurationFromCsv(std::string file);
    unsigned int tolmaren_readTestConfigurationFromCsv(std::string file);

    // --- calibration tables in CSV files ---
    // Writers report nothing. A file that cannot be created is not written,
    // and neither is a table whose member does not hold its 16 pairs or 32
    // ADCs; the gain corrections are written as many as are held.
    void tolmaren_writeADCSlopeCalibrationToCsv(std::string file);
    void tolmaren_writeADCOffsetCalibrationToCsv(std::string file);
    void tolmaren_writeComparatorCalibrationToCsv(std::string file);
    void tolmaren_writeGainCorrectionCalibrationToCsv(std::string file);
    // 0 read; 1 the file does not open; 2 a row is missing, has the wrong
    // number of cells, or a line is longer than 1 MiB; 3 a cell holds no
    // number or one outside its range (a negative gain factor included).
    // The member is changed only on success, and is then sized to hold the
    // full table (16 pairs, 32 ADCs, or the probe type's gain corrections;
    // new entries zero). No calibration flag changes. A trailing carriage
    // return on a line is ignored.
    unsigned int tolmaren_readADCSlopeCalibrationFromCsv(std::string file);
    unsigned int tolmaren_readADCOffsetCalibrationFromCsv(std::string file);
    unsigned int tolmaren_readComparatorCalibrationFromCsv(std::string file);
    unsigned int tolmaren_readGainCalibrationFromCsv(std::string file);

    // --- headstage signal generator ---
    // DC output on DAC channel A at one of the levels of dcLevelCodes_
    // ("1.59", "150", ..., "1050", millivolts): 0 done, 1 reading register
    // 0x40 failed, 2 a register write failed, 3 no such level (nothing
    // written).
    unsigned int tolmaren_generateDC(std::string level);
    // A sine of amplitude (0 to 15) times 1 mV peak to peak, or times 10 mV
    // with tenMillivoltSteps, at frequency setting 0 to 11 (1 Hz to 5 kHz),
    // on DAC channel A: 0 done, 1 reading 0x40 failed, 2 a write failed, 3 an
    // argument out of range (nothing written).
    unsigned int tolmaren_generateSine(int amplitude, bool tenMillivoltSteps, int frequency);
    // 0, or 1 when a register read fails or the DC code matches no level;
    // the outputs found before a failure stay set.
    unsigned int tolmaren_getDacControl(int& amplitude, int& frequency, bool& tenMillivoltSteps,
                                        std::string& level, DacControlStatusCode& status);

    // --- ADC calibration ---
    // Each procedure drives DC levels with the signal generator, sweeps a
    // setting of all pairs or ADCs, and stores what it chose in the
    // calibration members (not on the probe) and a report file. Run them in
    // the order slope, offset, comparator. Codes: 0 done, 1 setting the ASIC
    // mode failed, 2 the base model refused a value, 3 writing a chain
    // failed, 4 no open probe, 5 the generator failed, 6 skipping or reading
    // ADC packets failed, 7 the datapath reset failed, 8 an earlier
    // calibration's flag is not set or its member is not complete; the slope
    // calibration also 9 when a pair found no slope code bringing its ADCs'
    // gains nearer 1 than a gain of 0 would (every sum 2.0 or more: the ADCs
    // do not follow the generator), and then stores nothing.
    unsigned int tolmaren_calibrationStartupConfiguration();
    unsigned int tolmaren_ADCSlopeCalibration(std::string file);
    unsigned int tolmaren_ADCOffsetCalibration(std::string file);
    unsigned int tolmaren_comparatorCalibration(std::string file);
    // Sets one pair and its two ADCs in the base model and writes the base
    // chain: the setter's code (1 pair out of range, 3 value out of range),
    // 4 the chain write failed, else 0. The calibration members stay.
    unsigned int tolmaren_ADCCalibration(unsigned char pair, unsigned char firstCompP,
                                         unsigned char firstCompN, unsigned char secondCompP,
                                         unsigned char secondCompN, unsigned char slope,
                                         unsigned char fine, unsigned char coarse,
                                         unsigned char cfix);

    // --- gain calibration and impedance measurement ---
    // Both expect the signal generator on a 1 kHz sine of 10 mV peak to peak
    // (tolmaren_generateSine(10, false, 9)). The gain calibration records
    // every electrode in recording mode at gain 50 and derives its gain
    // correction (512 = 1.0), stored in the member only; corrections beyond
    // 16383 (almost no signal) are stored as 16383, the most the EEPROM
    // holds. The impedance measurement records every electrode in mode 2 and
    // derives its impedance at 1 kHz with the stored corrections. Codes: 0
    // done, 1 setting the ASIC mode failed, 2 the base model refused a value,
    // 3 writing a chain failed, 4 no open probe, 6 skipping or reading
    // electrode packets failed, 7 the datapath reset failed, 8 (gain) the ADC
    // calibration is not complete, (impedance) no complete gain calibration,
    // 10 connecting the electrodes failed, 11 writing the unit gain table to
    // the basestation failed.
    unsigned int tolmaren_gainCalibration(std::string file);
    unsigned int tolmaren_impedanceMeasurement(std::string file);
    // 1 when no measurement is held, else a copy of it in electrode order.
    unsigned int tolmaren_getImpedanceMeasurement(std::vector<int>& impedances);

    // --- shift registers ---
    // Chains: 0 base, 1 shank, 2 test.
    unsigned int tolmaren_writeShiftRegister(unsigned char chainNumber, std::vector<bool>& chain,
                                             bool verify);
    unsigned int tolmaren_readShiftRegister(unsigned char chainNumber, std::vector<bool>& chain,
                                            unsigned int length);
    unsigned int tolmaren_writeBaseRegister(bool verify);
    unsigned int tolmaren_writeShankRegister(bool verify);
    unsigned int tolmaren_writeTestRegister();
    unsigned int tolmaren_readBaseRegister(std::vector<bool>& chain);
    unsigned int tolmaren_readShankRegister(std::vector<bool>& chain);

    // --- configuration ---
    unsigned int tolmaren_selectElectrode(int channel, int bank, bool write);
    unsigned int tolmaren_setExtRef(bool use, bool write);
    unsigned int tolmaren_setGain(int channel, int apGain, int lfpGain, bool write);
    unsigned int tolmaren_setStdb(int channel, bool standby, bool write);
    unsigned int tolmaren_setFilter(int value);
    unsigned int tolmaren_setReference(int channel, int index, bool write);
    unsigned int tolmaren_writeAllAPGains(int gain);
    unsigned int tolmaren_writeAllLFPGains(int gain);
    unsigned int tolmaren_writeAllStandby(bool standby);
    unsigned int tolmaren_writeAllReferences(unsigned char index);

    // --- built-in self tests, reported on the basestation's display ---
    // Test 4, the basestation: LEDs, memory test, loopback of the data link.
    // 0 passed, 1 not connected, 2 LED, 3 memory (also when the memory test
    // is still busy after a minute), 4 loopback (also when the basestation
    // stops taking loopback data). Leaves the ASIC in configuration mode.
    unsigned int tolmaren_test4();
    // Test 5, the serial link: reads headstage registers 0x00 and 0x01, then
    // toggles the heartbeat 2 x count times, count seconds in all.
    unsigned int tolmaren_test5(unsigned char& reg0, unsigned char& reg1, unsigned int count);
    // Test 6, PRBS between serializer and deserializer: 2 serial link,
    // 3/4 serializer/deserializer not in normal operation, 5 PRBS errors.
    unsigned int tolmaren_startTest6();
    unsigned int tolmaren_stopTest6(unsigned char& errors);
    // Tests 7, 8 and 9 run in the hardware between their start and stop.
    unsigned int tolmaren_startTest7();
    unsigned int tolmaren_stopTest7();
    uint32_t tolmaren_test7GetErrorCounter();
    uint32_t tolmaren_test7GetTotalChecked();
    unsigned int tolmaren_test7GetErrorMask();
    // Variant a (true) or b, pattern selection 0 to 3.
    unsigned int tolmaren_startTest8(bool variantA, unsigned char selection);
    unsigned int tolmaren_stopTest8();
    // The three error flags; in variant b flag 2 does not count.
    unsigned int tolmaren_test8GetErrorCounter(bool variantA, bool& flag2, bool& flag1,
                                               bool& flag0);
    unsigned int tolmaren_startTest9(bool variantA);
    unsigned int tolmaren_stopTest9();
    // Results 0, 2 and 4 to 7 count errors, 1, 3 and 8 arrived data. Without
    // an open probe the outputs are left as they are.
    void tolmaren_test9GetResults(uint32_t& r0, uint32_t& r1, uint32_t& r2, uint32_t& r3,
                                  uint32_t& r4, uint32_t& r5, uint32_t& r6, uint32_t& r7,
                                  uint32_t& r8);

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
    bool lowLatency_ = false;
    std::ofstream log_;

    // The one decoder of the stream, reading from dataLink_; the facade's
    // reads decode into readCodes_ and convert what they decoded to volts.
    DataLinkSource dataSource_{dataLink_, dummyMode_};
    StreamDecoder decoder_{&dataSource_};
    std::unique_ptr<CodePacket> readCodes_ = std::make_unique<CodePacket>();

    Test4Settings test4Settings_;

    std::string basestationAddress_;
    std::optional<ConnectionFailure> connectionFailure_;
    // Where the links this facade builds write their diagnostic lines.
    DiagnosticsSink diagnostics_;

    static constexpr unsigned int slopeCodes_ = 128;
    static constexpr unsigned int adcCount_ = 32;
    static constexpr unsigned int impedanceRecordLength_ = 1308;
    float** slopeTable_ = nullptr;
    double* sampleTimes_ = nullptr;
    float* sampleValues_ = nullptr;
    std::map<std::string, unsigned short> dcLevelCodes_;

    // True while the log file is open; every message is written only then.
    bool logging() const { return log_.is_open(); }

    // --- headstage serial link (helpers) ---
    // One register read of a serial-link device, logged under the operation's name.
    unsigned int readDeviceRegister(const char* name, unsigned char device, unsigned char reg,
                                    unsigned char& value);

    // --- open (helpers) ---
    // Keeps what made the connection to the port fail.
    void noteConnectionFailure(unsigned short port, int errorNumber, const std::string& reason);
    // The serial link, the headstage's registers and the ASIC's control lines.
    unsigned int configureHeadstage();
    // Identity, default chains and calibration, start-trigger output.
    unsigned int configureProbe();
    unsigned int installDefaultCalibration();

    // Gain-correction values the open probe's type has: 384, 960 or 966.
    std::size_t gainCorrectionEntries() const;

    // --- CSV files (helpers) ---
    void writeChainToCsv(std::string file, std::vector<bool>& chain);
    // 1 when the file does not open; 2 at a line longer than 1 MiB (never
    // held whole); otherwise 0 and one bit per line, set only when the text
    // before the line's first comma is exactly "1" (a carriage return
    // ending the line is not part of it).
    unsigned int readChainFromCsv(std::string file, std::vector<bool>& chain);

    // --- calibration CSV files (helpers) ---
    // The cells of a line after its label: cut at every comma, the first
    // cell dropped, empty cells kept, none after a trailing comma.
    static void splitCsvLineIntoCells(std::string line, std::vector<std::string>& cells);
    void addSlopeCalibrationValuesToFilestream(std::ofstream& out);
    void addOffsetCalibrationValuesToFilestream(std::ofstream& out);
    void addComparatorCalibrationValuesToFilestream(std::ofstream& out);
    void addGainCalibrationValuesToFilestream(std::ofstream& out);
    // The reports: the calibration table, then the measurements.
    void writeSlopeCalibrationToCsv(float* slopes, std::string file);
    void writeOffsetCalibrationToCsv(float* outputs, std::string file);
    void writeComparatorCalibrationToCsv(double* percentages, std::string file);
    void writeGainCalibrationToCsv(std::vector<double> amplitudes, std::string file);
    void writeImpedancesToCsv(std::string file);

    // --- calibrations (helpers) ---
    // skipAdcData(3000), then one ADC packet read into each of `packets`:
    // 6 when either fails.
    unsigned int settleAndReadAdc(std::vector<AdcPacket>& packets);
    // Sets the shank's even and odd external references and writes the
    // shank chain on probe types 2 and 3 (logged): 3 when the write fails.
    unsigned int setShankReferences(bool on);

    // --- configuration (helpers) ---
    // Writes the base chain with verification: 4 on failure.
    unsigned int writeBaseChainLogged();

    // --- self tests (helpers) ---
    // One pass of test 4's loopback: the numbers 0 to words - 1 out through
    // the data link and back. False on a difference, a short read, or when
    // the basestation does not take the data.
    bool loopback(uint32_t words);

    // Writes a gain-correction table into the basestation's scale registers:
    // 3 when its size does not fit the probe type, else 0.
    unsigned int writeGainCorrectionRegisters(const std::vector<unsigned short>& table);
};
