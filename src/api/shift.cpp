#include <ios>
#include <stdexcept>

#include "api/Tolmaren_basestation_api.h"
#include "config/ShiftWords.h"

namespace {

constexpr unsigned char headstageDevice = 0x40;
constexpr unsigned char chainSelect = 0x50;
constexpr unsigned char shiftDataIn = 0x51;
constexpr unsigned char shiftDataOut = 0x52;

constexpr unsigned char baseChain = 0;
constexpr unsigned char shankChain = 1;
constexpr unsigned char testChain = 2;
constexpr unsigned char configurationMode = 0;

constexpr unsigned int shankChainLengthType2 = 962;
constexpr unsigned int shankChainLengthType3 = 968;

// Bytes left in the basestation's shift FIFO mean that captured bits and
// the words that pushed them out no longer line up.
void requireEmptyShiftFifo(neuroprobe& map) {
    if (map.vci2uart.shift_fifo.read() != 0) throw std::runtime_error("shift_fifo should be empty");
}

} // namespace

unsigned int Tolmaren_basestation_api::tolmaren_writeShiftRegister(unsigned char chainNumber,
                                                                   std::vector<bool>& chain,
                                                                   bool verify) {
    if (dummyMode_) return 0;
    // The test chain is written in any ASIC mode and is never read back.
    const bool isTestChain = chainNumber == testChain;
    unsigned char previousMode = 0;
    if (!isTestChain) {
        if (tolmaren_readMode(previousMode) != 0) return 1;
        if (tolmaren_mode(configurationMode) != 0) return 2;
    }
    if (tolmaren_headstageWriteRegister(chainSelect, chainNumber) != 0) return 3;
    std::vector<unsigned short> words = ShiftWords::pack(chain, false);
    if (tolmaren_writeUart(headstageDevice, shiftDataIn, words) != 0) return 4;
    if (isTestChain) return 0;
    if (!verify) return tolmaren_mode(previousMode) == 0 ? 0 : 2;

    // Shifting the same words in again pushes the first copy out, and the
    // capture flag has the headstage return what left the register.
    if (datamodel_ == nullptr) return 5;
    requireEmptyShiftFifo(*datamodel_);
    for (unsigned short& word : words)
        word |= ShiftWords::captureFlag;
    if (tolmaren_writeUart(headstageDevice, shiftDataIn, words) != 0) return 4;
    std::vector<unsigned char> bytes(words.size(), 0);
    if (tolmaren_readUart(headstageDevice, shiftDataOut, bytes) != 0) return 5;
    requireEmptyShiftFifo(*datamodel_);
    if (tolmaren_mode(previousMode) != 0) return 2;
    if (ShiftWords::matches(words, bytes, chain.size())) return 0;

    // Each bit that differs is reported.
    std::vector<bool> readBack(chain.size(), false);
    ShiftWords::unpack(bytes, readBack);
    bool equal = true;
    auto read = readBack.cbegin();
    for (auto written = chain.cbegin(); written != chain.cend(); ++written, ++read) {
        if (*read == *written) continue;
        equal = false;
        if (logging())
            log_ << "error in qchain at " << std::dec << (written - chain.cbegin()) << " value is "
                 << (*read ? "1" : "0") << "\n";
    }
    return equal ? 0 : 6;
}

unsigned int Tolmaren_basestation_api::tolmaren_readShiftRegister(unsigned char chainNumber,
                                                                  std::vector<bool>& chain,
                                                                  unsigned int length) {
    if (dummyMode_) {
        // Playback has no probe: the models stand for the chains.
        if (chainNumber == baseChain)
            baseConfiguration.getChain(chain);
        else if (chainNumber == shankChain)
            shankConfiguration.getChain(chain);
        else if (chainNumber == testChain)
            testConfiguration.getChain(chain);
        return 0;
    }
    unsigned char previousMode = 0;
    if (tolmaren_readMode(previousMode) != 0) return 1;
    if (tolmaren_mode(configurationMode) != 0) return 2;
    chain.assign(length, false);
    if (tolmaren_headstageWriteRegister(chainSelect, chainNumber) != 0) return 3;
    // Zero words with the capture flag shift the whole chain out.
    const std::size_t wordCount = ShiftWords::wordCount(length);
    if (tolmaren_writeUart(headstageDevice, shiftDataIn,
                           std::vector<unsigned short>(wordCount, ShiftWords::captureFlag)) != 0)
        return 4;
    std::vector<unsigned char> bytes(wordCount, 0);
    if (tolmaren_readUart(headstageDevice, shiftDataOut, bytes) != 0) return 5;
    ShiftWords::unpack(bytes, chain);
    // Reading emptied the register; the chain goes back in.
    if (tolmaren_writeUart(headstageDevice, shiftDataIn, ShiftWords::pack(chain, false)) != 0)
        return 4;
    if (tolmaren_mode(previousMode) != 0) return 2;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeBaseRegister(bool verify) {
    if (logging()) log_ << "tolmaren_writeBaseRegister() called\n";
    std::vector<bool> chain;
    baseConfiguration.getChain(chain);
    return tolmaren_writeShiftRegister(baseChain, chain, verify);
}

unsigned int Tolmaren_basestation_api::tolmaren_writeShankRegister(bool verify) {
    if (logging()) log_ << "tolmaren_writeShankRegister() called\n";
    if (datamodel_ == nullptr) return 8;
    // The basestation needs the channel-to-electrode table to order the data.
    std::vector<uint8_t> connections;
    shankConfiguration.getElectrodeConnections(connections);
    const std::vector<unsigned int> words(connections.begin(), connections.end());
    const auto& table = datamodel_->tolmaren_cfg.channel_to_electrode;
    table.vci_->vciBurstWrite(table.address_, words, VciInterface::Increment);
    if (logging())
        log_ << "channel_to_electrode registers in basestation fpga successfully"
             << " configured\n";
    std::vector<bool> chain;
    if (shankConfiguration.getChain(chain) != 0) return 6;
    return tolmaren_writeShiftRegister(shankChain, chain, verify);
}

unsigned int Tolmaren_basestation_api::tolmaren_writeTestRegister() {
    std::vector<bool> chain;
    testConfiguration.getChain(chain);
    return tolmaren_writeShiftRegister(testChain, chain, true);
}

unsigned int Tolmaren_basestation_api::tolmaren_readBaseRegister(std::vector<bool>& chain) {
    if (logging()) log_ << "tolmaren_readBaseRegister(std::vector<bool> & chain) called\n";
    if (const unsigned int status =
            tolmaren_readShiftRegister(baseChain, chain, BaseConfiguration::chainLength))
        return status;
    if (logging()) log_ << "base shift register successfully read\n";
    // The decoder consumes its input; the caller keeps the chain read.
    std::vector<bool> decoded = chain;
    if (baseConfiguration.getBaseConfigFromChain(decoded) == 5) return 9;
    if (logging()) log_ << "api member baseConfiguration set to read value\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readShankRegister(std::vector<bool>& chain) {
    if (logging())
        log_ << "tolmaren_readShankRegister(std::vector<bool> & chain) "
             << "called\n";
    unsigned int length = 0;
    if (asicId_.probeType == 2)
        length = shankChainLengthType2;
    else if (asicId_.probeType == 3)
        length = shankChainLengthType3;
    else
        return 7;
    if (logging())
        log_ << "probeType = " << std::dec << static_cast<int>(asicId_.probeType) << "\n";
    if (const unsigned int status = tolmaren_readShiftRegister(shankChain, chain, length))
        return status;
    if (logging()) log_ << "shank shift register successfully read\n";
    std::vector<bool> decoded = chain;
    if (shankConfiguration.getShankConfigFromChain(decoded) != 0) return 6;
    if (logging())
        log_ << "api member shankConfiguration successfully set to read "
             << "value\n";
    return 0;
}
