#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "link/ConnectionLinkPacket.h"
#include "link/DiagnosticsSink.h"
#include "link/RequestResponseLink.h"
#include "vci/VciEncoding.h"
#include "vci/VciInterface.h"

// The basestation's registers over the register-access protocol: every access
// is one request/reply transaction of big-endian 32-bit words. A request is a
// command word (command, increment flag, burst length - 1), its operands and
// a closing 0; a reply is the command echoed, its data and a status word
// whose error bits are printed but do not fail the access.
//
// Replies carry no sequence number: the reply to a request is the next one
// that comes. A reply that comes after its time-out would therefore be taken
// for the next request's, and when both have the same form (two reads of one
// word) the next read would silently return the old register's value. So a
// time-out puts the encoder out of step: before its next request it sends a
// ping of a value of its own and drops every reply up to that ping's echo,
// with a diagnostic line each. Replies come in order, so the
// link is then in step again. When the echo does not come either, that next
// access fails with "No reply received" too, and the encoder stays out of step.
class VciEncoder : public VciInterface {
public:
    // The 16-bit length field limits one request to this many words; longer
    // bursts go out as several requests.
    static constexpr unsigned int maxBurstWords = 0x10000;
    // A peer that keeps sending other replies is given up on after this many.
    static constexpr unsigned int maxDroppedReplies = 64;

    // Takes ownership of the link (and through it the links below). Its
    // diagnostic lines go to the process-wide sink, or to the one given.
    VciEncoder(RequestResponseLink* link, VciEncoding::LinkWidth width);
    VciEncoder(RequestResponseLink* link, VciEncoding::LinkWidth width,
               DiagnosticsSink& diagnostics);
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
    // Gets the link back in step after a time-out (see above); throws with
    // `failure` when the echo does not come.
    void catchUp(const std::string& failure) const;
    // Makes the next request these words followed by room for `more` words;
    // where that room begins.
    unsigned char* request(std::initializer_list<unsigned int> words, std::size_t more = 0) const;
    // Sends the request and checks the reply's size and first word; prints
    // the status word's errors and returns the bytes of the words between the
    // two, valid until the next request.
    const unsigned char* transact(unsigned int replyLength, unsigned int replyCommand,
                                  const std::string& sizeFailure, const char* wrongReply) const;

    std::unique_ptr<RequestResponseLink> link_;
    VciEncoding::LinkWidth linkWidth_;
    mutable unsigned int addressWidth_ = 0;
    mutable unsigned int dataWidth_ = 0;
    mutable bool outOfStep_ = false;
    mutable unsigned int catchUps_ = 0; // makes each catch-up's ping value new
    // The request's and the reply's bytes, in memory kept from request to
    // request.
    mutable std::vector<unsigned char> request_;
    mutable std::vector<unsigned char> reply_;
    DiagnosticsSink& diagnostics_;
};
