#include "sim/RegisterProtocol.h"

namespace tolmaren_sim {

namespace {

enum Command : uint8_t { Read = 0x01, Write = 0x02, Ping = 0x03, Info = 0x04 };

std::vector<uint32_t> toWords(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = (uint32_t{bytes[4 * i]} << 24) | (uint32_t{bytes[4 * i + 1]} << 16) |
                   (uint32_t{bytes[4 * i + 2]} << 8) | uint32_t{bytes[4 * i + 3]};
    }
    return words;
}

std::vector<uint8_t> toBytes(const std::vector<uint32_t>& words) {
    std::vector<uint8_t> bytes;
    bytes.reserve(words.size() * 4);
    for (uint32_t word : words) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<uint8_t>(word >> shift));
    }
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

    const std::vector<uint32_t> words = toWords(request);
    const auto now = BasestationRegisters::Clock::now();
    const uint32_t increment = (words[0] >> 16) & 0xFF;
    const std::size_t count = (words[0] & 0xFFFF) + 1;
    auto wellFormed = [&](std::size_t expectedWords) {
        return request.size() % 4 == 0 && words.size() == expectedWords && words.back() == 0;
    };

    switch (command) {
    case Read: {
        if (!wellFormed(3)) return errorReply(errorSopEop);
        if (increment > 1) return errorReply(errorUnsupported);
        std::vector<uint32_t> reply{echo};
        reply.reserve(count + 2);
        uint32_t address = words[1];
        for (std::size_t i = 0; i < count; ++i, address += increment * 4)
            reply.push_back(registers.read(address, now));
        reply.push_back(status(injectedErrors));
        return Result{toBytes(reply), false};
    }
    case Write: {
        if (!wellFormed(count + 3)) return errorReply(errorSopEop);
        if (increment > 1) return errorReply(errorUnsupported);
        uint32_t address = words[1];
        for (std::size_t i = 0; i < count; ++i, address += increment * 4)
            registers.write(address, words[2 + i], now);
        return Result{toBytes({echo, status(injectedErrors)}), false};
    }
    case Ping:
        if (!wellFormed(3)) return errorReply(errorSopEop);
        return Result{toBytes({echo, words[1], status(injectedErrors)}), false};
    case Info:
        if (!wellFormed(2)) return errorReply(errorSopEop);
        return Result{toBytes({echo, (dataWidth << 8) | addressWidth, status(injectedErrors)}),
                      false};
    default:
        return errorReply(errorUnknownCommand);
    }
}

} // namespace tolmaren_sim
