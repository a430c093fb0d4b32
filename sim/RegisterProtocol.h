#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/BasestationRegisters.h"

namespace tolmaren_sim {

// The register-access protocol of the configuration port. A request is a
// sequence of big-endian 32-bit words: a command word (bits 31..24 command,
// 23..16 increment flag, 15..0 burst length - 1), its arguments and a final 0.
// A reply starts with the command in bits 31..24 and ends with the status
// word, whose bits 31..16 carry the error word.
//   0x01 read:        cmd, address, 0        -> 0x01000000, n words, status
//   0x02 write:       cmd, address, n words, 0 -> 0x02000000, status
//   0x03 ping:        cmd, value, 0          -> 0x03000000, value, status
//   0x04 information: cmd, 0                 -> 0x04000000, widths, status
// A request of the wrong length, or without the final 0, is answered with its
// command byte and the sop/eop error bit and does nothing; an increment flag
// other than 0 or 1 gives the unsupported-feature bit, an unknown command the
// unknown-command bit (reply: command byte, status).
class RegisterProtocol {
public:
    static constexpr uint16_t errorSopEop = 1u << 2;
    static constexpr uint16_t errorUnsupported = 1u << 3;
    static constexpr uint16_t errorUnknownCommand = 1u << 5;
    static constexpr uint32_t addressWidth = 32;
    static constexpr uint32_t dataWidth = 32;

    struct Result {
        std::vector<uint8_t> reply;
        bool malformed = false;
    };

    // Executes one request payload; nothing comes back for a payload too
    // short to carry a command word (the frame is dropped). injectedErrors are
    // OR-ed into the error word.
    static std::optional<Result> handle(const std::vector<uint8_t>& request,
                                        BasestationRegisters& registers, uint16_t injectedErrors);
};

} // namespace tolmaren_sim
