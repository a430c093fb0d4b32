#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/ChainFault.h"
#include "sim/UartFault.h"

namespace tolmaren_sim {

// What goes wrong with the reply to a register-access request.
enum class ReplyFault {
    None,
    NoReply,        // the request is executed, the reply is never sent
    LateReply,      // the reply is sent after lateReplyMs
    WrongFirstWord, // the first reply word does not echo the command
    WrongSize,      // one byte too many in the reply
    CutReply,       // the first half of the reply frame is sent, then the connection closed
};

// What the EEPROM controller reports in its status register.
enum class EepromFault {
    None,
    NotDone, // status bit 4 stays clear, the transaction does nothing
    Error,   // status bit 0 is set, the transaction does nothing
};

// Every fault the simulator can inject. All of them can be changed while a
// client is connected; the defaults make a healthy system.
struct Faults {
    // Register-access protocol.
    ReplyFault reply = ReplyFault::None;
    unsigned int lateReplyMs = 1500;
    uint16_t statusErrorBits = 0; // OR-ed into the error word (status bits 31..16)
    // The connection is closed when this many further requests have been
    // answered and the next one arrives (that one is not executed). One-shot.
    std::optional<unsigned int> closeAfterRequests;

    // UART bridge and serial link.
    bool uartNoAck = false;                 // no acknowledge and no reply bytes
    std::optional<uint8_t> uartWrongAck;    // this byte instead of 0xC3
    uint8_t uartErrorFlags = 0;             // bits 0..3 raised by every transaction
    unsigned int uartMissingReplyBytes = 0; // reply bytes dropped from the end
    bool headstageSilent = false;           // the headstage answers nothing
    std::vector<UartFault> uartFaults;      // aimed at chosen transactions

    // Headstage EEPROM controller.
    EepromFault eeprom = EepromFault::None;
    // The EEPROM stores this many more bytes, then every write fails (status
    // bit 0), as a worn-out or write-protected part would.
    std::optional<unsigned int> eepromWritableBytes;

    // Defective cells of the probe's configuration chains.
    std::vector<ChainFault> chainFaults;

    // Self-test results.
    uint32_t deadLeds = 0; // bits of t_leddrv_core.leds that read back 0
    bool memoryTestError = false;
    uint32_t dmaError = 0;
    uint32_t test7ErrorCount = 0;
    uint32_t test7ErrorMask = 0;
    // Values reported by the test 9 error results 0, 2, 4, 5, 6 and 7; the
    // entries 1, 3 and 8 are data counters and are not taken from here.
    std::array<uint32_t, 9> test9Errors{};
    // Checks of test 8 that fail (bits 2..0 of headstage register 0x31): in
    // every run, or only in runs of this pattern selection.
    uint8_t test8ErrorFlags = 0;
    std::optional<uint8_t> test8Selection;
    uint8_t prbsErrors = 0; // deserializer register 0x13 after a PRBS run
};

} // namespace tolmaren_sim
