// The simulator's request parser, as a hostile client drives it: the input is
// the byte stream of a configuration connection, fed to the framing in pieces
// whose sizes the first byte picks, and every frame it completes is executed
// on a fresh basestation model. Nothing may crash; every reply frames and
// unframes unchanged.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sim/HardwareModel.h"
#include "sim/HdlcCodec.h"
#include "sim/RegisterProtocol.h"

using namespace tolmaren_sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = data[0] % 16 + 1;
    HardwareModel hardware{SimulatorOptions{}};
    HdlcCodec codec;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 1; at < size; at += piece) {
        frames.clear();
        codec.feed(data + at, std::min(piece, size - at), frames);
        for (const auto& request : frames) {
            const auto result = RegisterProtocol::handle(request, hardware.registers, 0);
            if (!result) continue;
            HdlcCodec receiver;
            std::vector<std::vector<uint8_t>> replies;
            const std::vector<uint8_t> wire = HdlcCodec::encode(result->reply);
            receiver.feed(wire.data(), wire.size(), replies);
            if (replies.size() != 1 || replies[0] != result->reply) std::abort();
        }
    }
    return 0;
}
