#include "sim/RegisterProtocol.h"

#include <initializer_list>

namespace tolmaren_sim {

namespace {

enum Command : uint8_t { Read = 0x01, Write = 0x02, Ping = 0x03, Info = 0x04 };

uint32_t wordAt(const std::vector<uint8_t>& bytes, std::size_t i) {
    return (uint32_t{bytes[4 * i]} << 24) | (uint32_t{bytes[4 * i + 1]} << 16) |
           (uint32_t{bytes[4 * i + 2]} << 8) | uint32_t{bytes[4 * i + 3]};
}

uint8_t* put(uint8_t* out, uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8)
        *out++ = static_cast<uint8_t>(word >> shift);
    return out;
}

std::vector<uint8_t> toBytes(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes(words.size() * 4);
    uint8_t* out = bytes.data();
    for (uint32_t word : words)
        out = put(out, word);
    return bytes;
}

uint32_t status(uint16_t errors) {
    return static_cast<uint32_t>(errors) << 16;
}

} // namespace

std::optional<RegisterProtocol::Result>
RegisterProtocol::handle(const std::vector<uint8_t>& request, BasestationRegisters& registers,
                         uint16_t injectedErrors) {
    if (request.size() < 4) return std::nullopt;
    const uint8_t command = request[0];
    const uint32_t echo = static_cast<uint32_t>(command) << 24;
    auto errorReply = [&](uint16_t error) {
        return Result{toBytes({echo, status(error | injectedErrors)}), true};
    };

    const std::size_t words = request.size() / 4;
    const auto now = BasestationRegisters::Clock::now();
    const uint32_t first = wordAt(request, 0);
    const uint32_t increment = (first >> 16) & 0xFF;
    const std::size_t count = (first & 0xFFFF) + 1;
    auto wellFormed = [&](std::size_t expectedWords) {
        return request.size() % 4 == 0 && words == expectedWords && wordAt(request, words - 1) == 0;
    };

    switch (command) {
    case Read: {
        if (!wellFormed(3)) return errorReply(errorSopEop);
        if (increment > 1) return errorReply(errorUnsupported);
        Result result{std::vector<uint8_t>(4 * (count + 2)), false};
        uint8_t* out = put(result.reply.data(), echo);
        uint32_t address = wordAt(request, 1);
        for (std::size_t i = 0; i < count; ++i, address += increment * 4)
            out = put(out, registers.read(address, now));
        put(out, status(injectedErrors));
        return result;
    }
    case Write: {
        if (!wellFormed(count + 3)) return errorReply(errorSopEop);
        if (increment > 1) return errorReply(errorUnsupported);
        uint32_t address = wordAt(request, 1);
        for (std::size_t i = 0; i < count; ++i, address += increment * 4)
            registers.write(address, wordAt(request, 2 + i), now);
        return Result{toBytes({echo, status(injectedErrors)}), false};
    }
    case Ping:
        if (!wellFormed(3)) return errorReply(errorSopEop);
        return Result{toBytes({echo, wordAt(request, 1), status(injectedErrors)}), false};
    case Info:
        if (!wellFormed(2)) return errorReply(errorSopEop);
        return Result{toBytes({echo, (dataWidth << 8) | addressWidth, status(injectedErrors)}),
                      false};
    default:
        return errorReply(errorUnknownCommand);
    }
}

} // namespace tolmaren_sim
