#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/ConnectionLinkPacket.h"
#include "link/RequestResponseLink.h"
#include "vci/VciEncoding.h"
#include "vci/VciInterface.h"

// The basestation's registers over the register-access protocol: every access
// is one request/reply transaction of big-endian 32-bit words. A request is a
// command word (command, increment flag, burst length - 1), its operands and
// a closing 0; a reply is the command echoed, its data and a status word
// whose error bits are printed but do not fail the access.
class VciEncoder : public VciInterface {
public:
    // The 16-bit length field limits one request to this many words; longer
    // bursts go out as several requests.
    static constexpr unsigned int maxBurstWords = 0x10000;

    // Takes ownership of the link (and through it the links below).
    VciEncoder(RequestResponseLink* link, VciEncoding::LinkWidth width);
    ~VciEncoder() override;
    VciEncoder(const VciEncoder&) = delete;
    VciEncoder& operator=(const VciEncoder&) = delete;

    void vciWrite(unsigned int address, unsigned int data) override;
    unsigned int vciRead(unsigned int address) override;
    // Asks the basestation every time; also learns the address width.
    unsigned int getVciDataWidth() const override;
    void vciBurstWrite(unsigned int address, const std::vector<unsigned int>& data,
                       IncrementAddress increment) override;
    std::vector<unsigned int> vciBurstRead(unsigned int address, unsigned int count,
                                           IncrementAddress increment) override;

    // The width learned by the last information query; asks when none was.
    unsigned int getVciAddressWidth();
    // The value echoed by the basestation.
    unsigned int ping(unsigned int value);
    // Prints one line per error bit of the status word's upper half.
    void decodeErrors(unsigned short errorWord) const;

private:
    void checkLinkWidth() const;
    void checkBurst(IncrementAddress increment) const;
    // Sends the request and checks the reply's size and first word; prints
    // the status word's errors and returns the words between the two.
    ConnectionLinkPacket transact(ConnectionLinkPacket& request, unsigned int replyLength,
                                  unsigned int replyCommand, const std::string& sizeFailure,
                                  const char* wrongReply) const;

    std::unique_ptr<RequestResponseLink> link_;
    VciEncoding::LinkWidth linkWidth_;
    mutable unsigned int addressWidth_ = 0;
    mutable unsigned int dataWidth_ = 0;
};
