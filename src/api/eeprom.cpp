#include <ios>

#include "api/Tolmaren_basestation_api.h"

// The headstage's 2048-byte EEPROM holds the probe identity and calibration.
// It is reached through the controller's headstage registers: every
// transaction is prepared (control 0x11, address, data, command), launched by
// a 1-then-0 pulse on the start register and judged by the status register
// (bit 4 done, bit 0 error). Memory map:
//   0..3      packed identity, least significant byte first
//   8..15     cfix of pairs 2k (bits 7..4) and 2k+1 (bits 3..0)
//   16..31    pair i: slope (6..4), fine (3..2), coarse (1..0)
//   32..63    compP of ADC a;  64..95 compN of ADC a
//   116..     gain correction j: low byte at 116+2j, bits 13..8 at 117+2j

namespace {

constexpr unsigned char startRegister = 0x60;
constexpr unsigned char controlRegister = 0x61;
constexpr unsigned char commandRegister = 0x62;
constexpr unsigned char writeDataRegister = 0x63;
constexpr unsigned char readDataRegister = 0x64;
constexpr unsigned char addressHighRegister = 0x66;
constexpr unsigned char addressLowRegister = 0x67;

constexpr unsigned char prepareTransaction = 0x11;
constexpr unsigned char writeEnableCommand = 0x96;
constexpr unsigned char writeCommand = 0x6C;
constexpr unsigned char readCommand = 0x03;
constexpr unsigned char statusDone = 0x10;
constexpr unsigned char statusError = 0x01;
// The EEPROM's own write cycle ends within this time.
constexpr unsigned int writeCycleMs = 5;

constexpr unsigned int eepromSize = 2048;
constexpr short identityAddress = 0;
constexpr short cfixAddress = 8;
constexpr short pairAddress = 16;
constexpr short compPAddress = 32;
constexpr short compNAddress = 64;
constexpr short gainAddress = 116;
constexpr unsigned int pairCount = 16;
constexpr unsigned int adcCount = 32;
constexpr uint32_t serialMask = 0x3FFFFFFF;

using Api = Tolmaren_basestation_api;

unsigned int prepare(Api& api) {
    return api.tolmaren_headstageWriteRegister(controlRegister, prepareTransaction) == 0 ? 0 : 2;
}

unsigned int setAddress(Api& api, short address) {
    const auto bits = static_cast<unsigned short>(address);
    if (api.tolmaren_headstageWriteRegister(addressHighRegister,
                                            static_cast<unsigned char>(bits >> 8)) != 0)
        return 4;
    if (api.tolmaren_headstageWriteRegister(addressLowRegister,
                                            static_cast<unsigned char>(bits & 0xFF)) != 0)
        return 5;
    return 0;
}

// Sets the command and pulses the start register.
unsigned int launch(Api& api, unsigned char command) {
    if (api.tolmaren_headstageWriteRegister(commandRegister, command) != 0) return 8;
    if (api.tolmaren_headstageWriteRegister(startRegister, 1) != 0) return 12;
    if (api.tolmaren_headstageWriteRegister(startRegister, 0) != 0) return 12;
    return 0;
}

unsigned int checkStatus(Api& api) {
    unsigned char status = 0;
    if (api.tolmaren_headstageReadRegister(controlRegister, status) != 0) return 2;
    if ((status & statusDone) == 0) return 9;
    if ((status & statusError) != 0) return 10;
    return 0;
}

bool inImage(short address) {
    return address >= 0 && static_cast<unsigned int>(address) < eepromSize;
}

adcPairCommon pairFrom(unsigned char packed, unsigned char cfix) {
    adcPairCommon pair;
    pair.slope = static_cast<uint8_t>((packed >> 4) & 7);
    pair.fine = static_cast<uint8_t>((packed >> 2) & 3);
    pair.coarse = static_cast<uint8_t>(packed & 3);
    pair.cfix = cfix;
    return pair;
}

} // namespace

std::size_t Tolmaren_basestation_api::gainCorrectionEntries() const {
    if (asicId_.probeType <= 1) return 384;
    return asicId_.probeType == 2 ? 960 : 966;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeEeprom(short address, unsigned char value) {
    if (dummyMode_) {
        // Only the 2048 bytes of the image exist; anything else is refused
        // rather than written past its end.
        if (!inImage(address)) return 11;
        eepromImage_[address] = value;
        return 0;
    }
    if (const unsigned int status = prepare(*this)) return status;
    if (const unsigned int status = setAddress(*this, address)) return status;
    if (tolmaren_headstageWriteRegister(writeDataRegister, value) != 0) return 6;
    if (const unsigned int status = launch(*this, writeEnableCommand)) return status;
    if (const unsigned int status = checkStatus(*this)) return status;
    // The write command uses the address and data registers as they stand.
    if (const unsigned int status = prepare(*this)) return status;
    if (const unsigned int status = launch(*this, writeCommand)) return status;
    tolmaren_milliSleep(writeCycleMs);
    return checkStatus(*this);
}

unsigned int Tolmaren_basestation_api::tolmaren_readEeprom(short address, unsigned char& value) {
    if (dummyMode_) {
        if (!inImage(address)) return 11;
        value = eepromImage_[address];
        return 0;
    }
    if (const unsigned int status = prepare(*this)) return status;
    if (const unsigned int status = setAddress(*this, address)) return status;
    if (const unsigned int status = launch(*this, readCommand)) return status;
    if (const unsigned int status = checkStatus(*this)) return status;
    unsigned char byte = 0;
    if (tolmaren_headstageReadRegister(readDataRegister, byte) != 0) return 7;
    value = byte;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeId(AsicID& id) {
    if (logging())
        log_ << "tolmaren_writeId(AsicID & id) called with\n"
             << "serialNumber = " << std::dec << id.serialNumber << "\n"
             << "probeType = " << static_cast<int>(id.probeType) << "\n";
    if (id.serialNumber > serialMask || id.probeType < 0 || id.probeType > 3) return 11;
    asicId_ = id;
    const unsigned int packed = tolmaren_asicIdStructToUnsignedInt();
    for (short k = 0; k < 4; ++k) {
        const auto byte = static_cast<unsigned char>((packed >> (8 * k)) & 0xFF);
        if (const unsigned int status = tolmaren_writeEeprom(identityAddress + k, byte))
            return status;
    }
    if (logging()) log_ << "asic id successfully written to EEPROM\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readId(AsicID& id) {
    if (logging()) log_ << "called tolmaren_readId(AsicID & id)\n";
    unsigned int packed = 0;
    for (short k = 0; k < 4; ++k) {
        unsigned char byte = 0;
        if (const unsigned int status = tolmaren_readEeprom(identityAddress + k, byte))
            return status;
        packed |= static_cast<unsigned int>(byte) << (8 * k);
    }
    if (logging()) log_ << "asic id successfully read from EEPROM\n";
    id = tolmaren_asicIdUnsignedIntToStruct(packed);
    asicId_ = id;
    if (logging())
        log_ << "-> serialNumber = " << std::dec << id.serialNumber << "\n"
             << "   probeType = " << static_cast<int>(id.probeType) << "\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeGainCorrection() {
    if (logging())
        log_ << "tolmaren_writeGainCorrection() called\n"
             << "probeType = " << std::dec << static_cast<int>(asicId_.probeType) << "\n";
    const std::size_t entries = gainCorrectionEntries();
    if (gainCorrectionCalibration_.size() != entries) return 11;
    for (std::size_t j = 0; j < entries; ++j) {
        const unsigned short value = gainCorrectionCalibration_[j];
        const auto address = static_cast<short>(gainAddress + 2 * j);
        if (const unsigned int status =
                tolmaren_writeEeprom(address, static_cast<unsigned char>(value & 0xFF)))
            return status;
        if (const unsigned int status =
                tolmaren_writeEeprom(address + 1, static_cast<unsigned char>((value >> 8) & 0x3F)))
            return status;
    }
    if (logging())
        log_ << std::dec << entries
             << " gains successfully read api member gainCorrectionCalibration_ from and written"
                " to EEPROM\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readGainCorrection() {
    if (logging())
        log_ << "tolmaren_readGainCorrection() called\n"
             << "probeType = " << std::dec << static_cast<int>(asicId_.probeType) << "\n";
    gainCorrectionCalibration_.clear();
    const std::size_t entries = gainCorrectionEntries();
    for (std::size_t j = 0; j < entries; ++j) {
        const auto address = static_cast<short>(gainAddress + 2 * j);
        unsigned char low = 0;
        unsigned char high = 0;
        if (const unsigned int status = tolmaren_readEeprom(address, low)) return status;
        if (const unsigned int status = tolmaren_readEeprom(address + 1, high)) return status;
        gainCorrectionCalibration_.push_back(
            static_cast<unsigned short>(((high & 0x3F) << 8) | low));
    }
    if (logging())
        log_ << std::dec << entries
             << " gains successfully read from EEPROM and written to api member"
                " gainCorrectionCalibration_\n";
    gainCalibrationRun_ = true;
    if (logging()) log_ << "api gainCalibrationRun_ member is set true\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeADCCalibration() {
    if (logging()) log_ << "tolmaren_writeADCCalibration() called\n";
    if (adcPairCommonCalibration_.size() != pairCount || adcCompCalibration_.size() != adcCount)
        return 11;
    // The set accessors do not check ranges; every field is cut to its width
    // so that a value out of range cannot spill into its neighbour.
    const auto& pairs = adcPairCommonCalibration_;
    for (short k = 0; k < static_cast<short>(pairCount / 2); ++k) {
        const auto cfix = static_cast<unsigned char>((pairs[2 * k].cfix & 0x0F) << 4 |
                                                     (pairs[2 * k + 1].cfix & 0x0F));
        if (const unsigned int status = tolmaren_writeEeprom(cfixAddress + k, cfix)) return status;
    }
    for (short i = 0; i < static_cast<short>(pairCount); ++i) {
        const auto packed = static_cast<unsigned char>(
            (pairs[i].slope & 7) << 4 | (pairs[i].fine & 3) << 2 | (pairs[i].coarse & 3));
        if (const unsigned int status = tolmaren_writeEeprom(pairAddress + i, packed))
            return status;
    }
    if (logging())
        log_ << "cfix, slope, fine and coarse successfully read from api member "
             << "adcPairCommonCalibration_ and written to EEPROM\n";
    for (short a = 0; a < static_cast<short>(adcCount); ++a) {
        if (const unsigned int status =
                tolmaren_writeEeprom(compPAddress + a, adcCompCalibration_[a].compP & 0x1F))
            return status;
        if (const unsigned int status =
                tolmaren_writeEeprom(compNAddress + a, adcCompCalibration_[a].compN & 0x1F))
            return status;
    }
    if (logging())
        log_ << "compP and compN successfully read from api member "
             << "adcCompCalibration_ and written to EEPROM\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readADCCalibration() {
    if (logging()) log_ << "tolmaren_readADCCalibration() called\n";
    adcPairCommonCalibration_.clear();
    adcCompCalibration_.clear();
    for (short k = 0; k < static_cast<short>(pairCount / 2); ++k) {
        unsigned char cfix = 0;
        unsigned char even = 0;
        unsigned char odd = 0;
        if (const unsigned int status = tolmaren_readEeprom(cfixAddress + k, cfix)) return status;
        if (const unsigned int status = tolmaren_readEeprom(pairAddress + 2 * k, even))
            return status;
        adcPairCommonCalibration_.push_back(pairFrom(even, static_cast<unsigned char>(cfix >> 4)));
        if (const unsigned int status = tolmaren_readEeprom(pairAddress + 2 * k + 1, odd))
            return status;
        adcPairCommonCalibration_.push_back(pairFrom(odd, static_cast<unsigned char>(cfix & 0x0F)));
    }
    if (logging())
        log_ << "cfix, slope, fine and coarse successfully read from EEPROM and "
             << "written to api member adcPairCommonCalibration_\n";
    for (short a = 0; a < static_cast<short>(adcCount); ++a) {
        unsigned char compP = 0;
        unsigned char compN = 0;
        if (const unsigned int status = tolmaren_readEeprom(compPAddress + a, compP)) return status;
        if (const unsigned int status = tolmaren_readEeprom(compNAddress + a, compN)) return status;
        adcComp comp;
        comp.compP = static_cast<uint8_t>(compP & 0x1F);
        comp.compN = static_cast<uint8_t>(compN & 0x1F);
        adcCompCalibration_.push_back(comp);
    }
    if (logging())
        log_ << "compP and compN successfully read from EEPROM and written "
             << "to api member adcCompCalibration_\n";
    adcSlopeCalibrationRun_ = true;
    adcOffsetCalibrationRun_ = true;
    comparatorCalibrationRun_ = true;
    if (logging())
        log_ << "api adcSlopeCalibrationRun_, adcOffsetCalibrationRun_ and"
             << " comparatorCalibrationRun_ members are set true\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_applyAdcCalibrationFromEeprom() {
    if (tolmaren_readADCCalibration() != 0) return 1;
    if (!adcSlopeCalibrationRun_ || !adcOffsetCalibrationRun_ || !comparatorCalibrationRun_ ||
        adcPairCommonCalibration_.size() != pairCount || adcCompCalibration_.size() != adcCount)
        return 1;
    if (baseConfiguration.setAdcPair(adcPairCommonCalibration_) != 0) return 1;
    if (baseConfiguration.setAdcComp(adcCompCalibration_) != 0) return 1;
    return tolmaren_writeBaseRegister(true) == 0 ? 0 : 1;
}

unsigned int Tolmaren_basestation_api::tolmaren_applyGainCalibrationFromEeprom() {
    if (tolmaren_readGainCorrection() != 0) return 1;
    if (datamodel_ == nullptr || !datamode_) return 1;
    return writeGainCorrectionRegisters(gainCorrectionCalibration_) == 0 ? 0 : 1;
}

unsigned int Tolmaren_basestation_api::tolmaren_asicIdStructToUnsignedInt() {
    return (asicId_.serialNumber & serialMask) +
           (static_cast<unsigned int>(static_cast<uint8_t>(asicId_.probeType)) << 30);
}

AsicID Tolmaren_basestation_api::tolmaren_asicIdUnsignedIntToStruct(unsigned int packed) {
    AsicID id;
    id.serialNumber = packed & serialMask;
    id.probeType = static_cast<int8_t>(packed >> 30);
    return id;
}

AsicID Tolmaren_basestation_api::tolmaren_getId() {
    return asicId_;
}

unsigned int
Tolmaren_basestation_api::tolmaren_setADCPairCommonCalibration(std::vector<adcPairCommon> pairs) {
    if (pairs.size() != pairCount) return 1;
    adcPairCommonCalibration_ = std::move(pairs);
    adcSlopeCalibrationRun_ = true;
    adcOffsetCalibrationRun_ = true;
    return 0;
}

unsigned int
Tolmaren_basestation_api::tolmaren_getADCPairCommonCalibration(std::vector<adcPairCommon>& pairs) {
    if (adcPairCommonCalibration_.empty()) return 1;
    pairs = adcPairCommonCalibration_;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setADCCompCalibration(std::vector<adcComp> comps) {
    if (comps.size() != adcCount) return 1;
    adcCompCalibration_ = std::move(comps);
    comparatorCalibrationRun_ = true;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getADCCompCalibration(std::vector<adcComp>& comps) {
    if (adcCompCalibration_.empty()) return 1;
    comps = adcCompCalibration_;
    return 0;
}
