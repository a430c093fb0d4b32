#include <algorithm>
#include <ios>

#include "api/Tolmaren_basestation_api.h"

namespace {

constexpr unsigned char headstageDevice = 0x40;
constexpr unsigned char serializerDevice = 0x80;
constexpr unsigned char deserializerDevice = 0x90;
constexpr unsigned char readBit = 0x01;

constexpr unsigned int commandMarker = 0x79;
constexpr unsigned char acknowledge = 0xC3;
// Each poll is a full register transaction, so the limit bounds the wait by
// the number of round trips rather than by a clock.
constexpr unsigned int pollLimit = 2002;
constexpr unsigned char acceleratedTransmit = 0x51;
constexpr unsigned char acceleratedReceive = 0x52;

constexpr unsigned char digitalControl1 = 0x10;
constexpr unsigned char digitalControl2 = 0x11;
constexpr unsigned char serdesLinkRegister = 7;
constexpr unsigned char serdesLinkSetting = 0x12;
// A receive FIFO cannot hold more bytes than this; a count that never drops
// is a fault of the bridge, not data to drain forever.
constexpr unsigned int drainLimit = 65536;

// Waits for one reply byte of the bridge; 2 when none arrives in time.
unsigned int awaitReplyByte(t_vci2uart& uart, std::ofstream& log, unsigned char& byte) {
    for (unsigned int poll = 0; poll < pollLimit; ++poll) {
        if (uart.rx_count.read() != 0) {
            byte = static_cast<unsigned char>(uart.rx_data.read() & 0xFF);
            return 0;
        }
    }
    if (log.is_open()) log << "uart timeout\n";
    return 2;
}

// One snapshot of the error flags; the accelerated paths also test bit 3.
unsigned int checkErrorFlags(t_vci2uart& uart, bool accelerated) {
    const field_uart_error_flags flags = uart.uart_error_flags.flags.readall();
    if (flags.error_bit0.read() != 0) return 4;
    if (flags.error_bit1.read() != 0) return 5;
    if (flags.error_bit2.read() != 0) return 6;
    if (accelerated && flags.error_bit3.read() != 0) return 3;
    return 0;
}

unsigned char withBit(unsigned char value, unsigned int bit, bool set) {
    const unsigned int cleared = value & ~(1u << bit);
    return static_cast<unsigned char>(cleared | ((set ? 1u : 0u) << bit));
}

// Read-modify-write of one bit of a headstage control register: 1 when the
// read fails, 2 when the write fails.
unsigned int setControlBit(Tolmaren_basestation_api& api, unsigned char reg, unsigned int bit,
                           bool set) {
    unsigned char value = 0;
    if (api.tolmaren_headstageReadRegister(reg, value) != 0) return 1;
    if (api.tolmaren_headstageWriteRegister(reg, withBit(value, bit, set)) != 0) return 2;
    return 0;
}

bool bitOf(unsigned char value, unsigned int bit) {
    return ((value >> bit) & 1u) != 0;
}

} // namespace

unsigned int Tolmaren_basestation_api::tolmaren_writeUart(unsigned char device, unsigned char reg,
                                                          std::vector<unsigned short> data) {
    // The base is left at hexadecimal on purpose: later numbers without a
    // base of their own follow it.
    if (!data.empty() && logging())
        log_ << "tolmaren_writeUart(" << std::hex << static_cast<unsigned int>(device) << ", "
             << static_cast<unsigned int>(reg) << ", " << data.front() << ") called\n";
    if (dummyMode_) return 0;
    if (configLink_ == nullptr || datamodel_ == nullptr) {
        if (logging()) log_ << "no configuration link existing\n";
        return 1;
    }
    t_vci2uart& uart = datamodel_->vci2uart;

    if (device == headstageDevice && reg == acceleratedTransmit) {
        if (logging()) log_ << "accelerated TRANSMIT\n";
        // The bridge streams these words straight into the shift port: no
        // command header and no acknowledgement.
        const std::vector<unsigned int> words(data.begin(), data.end());
        if (!words.empty())
            uart.tx_accel.getVciInterface()->vciBurstWrite(uart.tx_accel.getAddress(), words,
                                                           VciInterface::NoIncrement);
        return checkErrorFlags(uart, true);
    }

    std::vector<unsigned int> words = {commandMarker, device, reg,
                                       static_cast<unsigned int>(data.size())};
    words.insert(words.end(), data.begin(), data.end());
    uart.tx_data.getVciInterface()->vciBurstWrite(uart.tx_data.getAddress(), words,
                                                  VciInterface::NoIncrement);

    unsigned char ack = 0;
    if (const unsigned int status = awaitReplyByte(uart, log_, ack)) return status;
    if (logging()) log_ << "ack byte: " << std::hex << static_cast<unsigned int>(ack) << "\n";
    if (ack != acknowledge) {
        if (logging()) log_ << "without success\n";
        return 3;
    }
    if (logging()) log_ << "with success\n";
    return checkErrorFlags(uart, false);
}

unsigned int Tolmaren_basestation_api::tolmaren_readUart(unsigned char device, unsigned char reg,
                                                         std::vector<unsigned char>& data) {
    if (logging())
        log_ << "tolmaren_readUart(" << std::hex << static_cast<unsigned int>(device) << ", "
             << static_cast<unsigned int>(reg) << ", std::vector<unsigned char> & data) called\n";
    if (dummyMode_) {
        std::fill(data.begin(), data.end(), 0);
        return 0;
    }
    if (configLink_ == nullptr || datamodel_ == nullptr) return 1;
    t_vci2uart& uart = datamodel_->vci2uart;
    const auto count = static_cast<unsigned int>(data.size());

    if (device == headstageDevice && reg == acceleratedReceive) {
        if (logging()) log_ << "accelerated RECEIVE\n";
        if (count > 0) {
            const std::vector<unsigned int> words = uart.rx_accel.getVciInterface()->vciBurstRead(
                uart.rx_accel.getAddress(), count, VciInterface::NoIncrement);
            const std::size_t received = std::min(words.size(), data.size());
            for (std::size_t i = 0; i < received; ++i)
                data[i] = static_cast<unsigned char>(words[i] & 0xFF);
        }
        return checkErrorFlags(uart, true);
    }

    const std::vector<unsigned int> words = {
        commandMarker, static_cast<unsigned int>(device | readBit), reg, count};
    uart.tx_data.getVciInterface()->vciBurstWrite(uart.tx_data.getAddress(), words,
                                                  VciInterface::NoIncrement);

    unsigned char ack = 0;
    if (const unsigned int status = awaitReplyByte(uart, log_, ack)) return status;
    if (logging()) log_ << "ack byte: " << std::hex << static_cast<unsigned int>(ack) << "\n";
    if (ack != acknowledge) return 3;

    for (unsigned char& byte : data) {
        if (const unsigned int status = awaitReplyByte(uart, log_, byte)) return status;
        if (logging()) log_ << "read byte: " << std::hex << static_cast<unsigned int>(byte) << "\n";
    }

    if (const unsigned int status = checkErrorFlags(uart, false)) return status;
    if (logging()) log_ << "with success\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_serializerWriteRegister(unsigned char reg,
                                                                        unsigned char value) {
    if (logging())
        log_ << "tolmaren_serializerWriteRegister(" << std::hex << static_cast<unsigned int>(reg)
             << ", " << static_cast<unsigned int>(value) << ") called\n";
    return tolmaren_writeUart(serializerDevice, reg, {value});
}

unsigned int Tolmaren_basestation_api::tolmaren_deserializerWriteRegister(unsigned char reg,
                                                                          unsigned char value) {
    if (logging())
        log_ << "tolmaren_deserializerWriteRegister(" << std::hex << static_cast<unsigned int>(reg)
             << ", " << static_cast<unsigned int>(value) << ") called\n";
    return tolmaren_writeUart(deserializerDevice, reg, {value});
}

unsigned int Tolmaren_basestation_api::tolmaren_headstageWriteRegister(unsigned char reg,
                                                                       unsigned char value) {
    if (logging())
        log_ << "tolmaren_headstageWriteRegister(" << std::hex << static_cast<unsigned int>(reg)
             << ", " << static_cast<unsigned int>(value) << ") called\n";
    return tolmaren_writeUart(headstageDevice, reg, {value});
}

unsigned int Tolmaren_basestation_api::readDeviceRegister(const char* name, unsigned char device,
                                                          unsigned char reg, unsigned char& value) {
    if (logging())
        log_ << name << "(" << std::hex << static_cast<unsigned int>(reg)
             << ", unsigned char & value) called\n";
    std::vector<unsigned char> data(1, 0);
    const unsigned int status = tolmaren_readUart(device, reg, data);
    if (status == 0) value = data[0];
    if (logging()) log_ << "read value = " << std::hex << static_cast<unsigned int>(value) << "\n";
    return status;
}

unsigned int Tolmaren_basestation_api::tolmaren_serializerReadRegister(unsigned char reg,
                                                                       unsigned char& value) {
    return readDeviceRegister("tolmaren_serializerReadRegister", serializerDevice, reg, value);
}

unsigned int Tolmaren_basestation_api::tolmaren_deserializerReadRegister(unsigned char reg,
                                                                         unsigned char& value) {
    return readDeviceRegister("tolmaren_deserializerReadRegister", deserializerDevice, reg, value);
}

unsigned int Tolmaren_basestation_api::tolmaren_headstageReadRegister(unsigned char reg,
                                                                      unsigned char& value) {
    return readDeviceRegister("tolmaren_headstageReadRegister", headstageDevice, reg, value);
}

unsigned int Tolmaren_basestation_api::tolmaren_configureSerializer() {
    if (logging()) log_ << "tolmaren_configureSerializer() called\n";
    unsigned int status = tolmaren_serializerWriteRegister(serdesLinkRegister, serdesLinkSetting);
    // The serializer may still be starting up; one more try after a time-out.
    if (status == 2)
        status = tolmaren_serializerWriteRegister(serdesLinkRegister, serdesLinkSetting);
    return status == 0 ? 0 : 1;
}

unsigned int Tolmaren_basestation_api::tolmaren_configureDeserializer() {
    if (logging()) log_ << "tolmaren_configureDeserializer() called\n";
    return tolmaren_deserializerWriteRegister(serdesLinkRegister, serdesLinkSetting) == 0 ? 0 : 1;
}

unsigned int Tolmaren_basestation_api::resetHeadstageRegisters() {
    static const unsigned char resetValues[][2] = {{0x10, 0x00}, {0x11, 0x00}, {0x31, 0x07},
                                                   {0x40, 0x00}, {0x41, 0x00}, {0x42, 0x00},
                                                   {0x43, 0x00}, {0x50, 0x00}};
    for (const auto& entry : resetValues)
        if (const unsigned int status = tolmaren_headstageWriteRegister(entry[0], entry[1]))
            return status;
    return 0;
}

void Tolmaren_basestation_api::tolmaren_resetUart() {
    if (datamodel_ == nullptr) return;
    t_vci2uart& uart = datamodel_->vci2uart;
    tolmaren_milliSleep(100);
    // Late replies of an earlier transaction are dropped.
    for (unsigned int drained = 0; drained < drainLimit && uart.rx_count.read() != 0; ++drained)
        uart.rx_data.read();
    // The flags are read once as part of the reset; their value is not used.
    uart.uart_error_flags.flags.readall();
    tolmaren_milliSleep(100);
}

unsigned int Tolmaren_basestation_api::tolmaren_HSSwHbeat(bool on) {
    return setControlBit(*this, digitalControl1, 0, on);
}

unsigned int Tolmaren_basestation_api::tolmaren_ndEnable(bool on) {
    return setControlBit(*this, digitalControl1, 1, on);
}

unsigned int Tolmaren_basestation_api::tolmaren_bistTx(bool on) {
    return setControlBit(*this, digitalControl1, 2, on);
}

unsigned int Tolmaren_basestation_api::tolmaren_bistRx(bool on) {
    return setControlBit(*this, digitalControl1, 3, on);
}

unsigned int Tolmaren_basestation_api::tolmaren_te(unsigned char value) {
    if (value > 1) return 3;
    return setControlBit(*this, digitalControl1, 4, value == 1);
}

unsigned int Tolmaren_basestation_api::tolmaren_HSReset(bool on) {
    unsigned char value = 0;
    if (tolmaren_headstageReadRegister(digitalControl2, value) != 0) return 1;
    // A headstage put into reset may not acknowledge, so the write's status
    // is not taken as a failure.
    tolmaren_headstageWriteRegister(digitalControl2, withBit(value, 0, on));
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_nrst(bool on) {
    return setControlBit(*this, digitalControl2, 4, on);
}

unsigned int Tolmaren_basestation_api::tolmaren_prnrst(bool on) {
    return setControlBit(*this, digitalControl2, 5, on);
}

unsigned int Tolmaren_basestation_api::tolmaren_mode(unsigned char mode) {
    // No base of its own: the number follows the log's current base.
    if (logging()) log_ << "tolmaren_mode(" << static_cast<unsigned int>(mode) << ") called\n";
    if (mode > 3) return 3;
    unsigned char value = 0;
    if (tolmaren_headstageReadRegister(digitalControl2, value) != 0) return 1;
    // The ASIC takes the new mode on the rising edge of NRST.
    const bool nrstWasHigh = bitOf(value, 4);
    if (nrstWasHigh)
        if (const unsigned int status = tolmaren_nrst(false)) return status;
    if (tolmaren_headstageReadRegister(digitalControl2, value) != 0) return 1;
    const auto withMode = static_cast<unsigned char>((value & 0x3F) | (mode << 6));
    if (tolmaren_headstageWriteRegister(digitalControl2, withMode) != 0) return 2;
    if (const unsigned int status = tolmaren_nrst(true)) return status;
    if (!nrstWasHigh) return tolmaren_nrst(false);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readMode(unsigned char& mode) {
    if (logging()) log_ << "tolmaren_readMode(unsigned char mode) called\n";
    unsigned char value = 0;
    if (tolmaren_headstageReadRegister(digitalControl2, value) != 0) return 1;
    mode = static_cast<unsigned char>(value >> 6);
    if (logging()) log_ << "mode = " << static_cast<unsigned int>(mode) << "\n";
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getDigCtrl(unsigned char& mode, bool& te,
                                                           bool& nrst, bool& prnrst, bool& ndEnable,
                                                           bool& heartbeat, bool& hsReset,
                                                           bool& bistRx, bool& bistTx) {
    unsigned char value = 0;
    if (tolmaren_headstageReadRegister(digitalControl1, value) != 0) return 1;
    te = bitOf(value, 4);
    ndEnable = bitOf(value, 1);
    heartbeat = bitOf(value, 0);
    bistRx = bitOf(value, 3);
    bistTx = bitOf(value, 2);
    if (tolmaren_headstageReadRegister(digitalControl2, value) != 0) return 1;
    mode = static_cast<unsigned char>(value >> 6);
    prnrst = bitOf(value, 5);
    nrst = bitOf(value, 4);
    hsReset = bitOf(value, 0);
    return 0;
}
