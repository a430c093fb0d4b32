// The register-access reply checks: an encoder over a scripted link performs
// the operations the input names and gets the replies the input holds, each
// one delivered (or a time-out) whatever was asked. Every bad reply must end
// in VciInterface::Exception; anything else escaping is a finding. A read
// that succeeds returns words of a reply that passed every check.
#include <cstdint>
#include <cstdlib>
#include <deque>

#include "link/Diagnostics.h"
#include "link/RequestResponseLink.h"
#include "vci/VciEncoder.h"

namespace {

// Takes bytes off the front of the input; zeros once it is used up.
class InputBytes {
public:
    InputBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return size_ == 0; }
    uint8_t take() {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

class ScriptedReplies : public ConnectionLinkIntf {
public:
    bool write(ConnectionLinkPacket&) override { return true; }
    ConnectionLinkPacket read(unsigned int) override {
        if (replies.empty()) return ConnectionLinkPacket();
        ConnectionLinkPacket reply = replies.front();
        replies.pop_front();
        return reply;
    }
    std::deque<ConnectionLinkPacket> replies; // an empty one is a time-out
};

} // namespace

// The error bits of the status word would print a line each.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Diagnostics::redirect(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputBytes input(data, size);
    auto* below = new ScriptedReplies;
    VciEncoder vci(new RequestResponseLink(below), VciEncoding::Width32);
    // Replies: a length byte (0 a time-out), then as many bytes, up to the
    // first byte 0xFF of a length, which starts the operations.
    for (uint8_t length = input.take(); length != 0xFF && !input.empty(); length = input.take()) {
        ConnectionLinkPacket reply;
        for (uint8_t i = 0; i < length; ++i)
            reply.push_back(input.take());
        below->replies.push_back(reply);
    }
    while (!input.empty()) {
        const uint8_t operation = input.take();
        const unsigned int address = 4u * input.take();
        const auto increment = static_cast<VciInterface::IncrementAddress>(operation >> 6);
        try {
            switch (operation & 7) {
            case 0:
                vci.vciRead(address);
                break;
            case 1:
                vci.vciWrite(address, operation);
                break;
            case 2: {
                const unsigned int count = (operation >> 3) & 7;
                if (vci.vciBurstRead(address, count, increment).size() != count) std::abort();
                break;
            }
            case 3:
                vci.vciBurstWrite(address, std::vector<unsigned int>((operation >> 3) & 7, address),
                                  increment);
                break;
            case 4:
                vci.ping(address);
                break;
            case 5:
                vci.getVciDataWidth();
                break;
            default:
                vci.getVciAddressWidth();
            }
        } catch (const VciInterface::Exception&) {
        }
    }
    return 0;
}
