#include "vci/VciEncoder.h"

#include <algorithm>

#include "link/Diagnostics.h"

namespace {

constexpr unsigned int readCommand = 0x01;
constexpr unsigned int writeCommand = 0x02;
constexpr unsigned int pingCommand = 0x03;
constexpr unsigned int infoCommand = 0x04;
constexpr unsigned int wordBytes = 4;
// Ping values of the catch-ups count up from here.
constexpr unsigned int catchUpValues = 0x5C000000;

unsigned char* putWord(unsigned char* out, unsigned int word) {
    for (unsigned int shift = 32; shift != 0; shift -= 8)
        *out++ = static_cast<unsigned char>(word >> (shift - 8));
    return out;
}

unsigned int wordAt(const unsigned char* bytes) {
    return (static_cast<unsigned int>(bytes[0]) << 24) |
           (static_cast<unsigned int>(bytes[1]) << 16) |
           (static_cast<unsigned int>(bytes[2]) << 8) | bytes[3];
}

unsigned int commandWord(unsigned int command, VciInterface::IncrementAddress increment,
                         unsigned int words) {
    const unsigned int flag = VciEncoding::encodeBurstIncrement(increment) ? 1u : 0u;
    return (command << 24) | (flag << 16) | ((words - 1u) & 0xFFFFu);
}

} // namespace

VciEncoder::VciEncoder(RequestResponseLink* link, VciEncoding::LinkWidth width)
    : VciEncoder(link, width, Diagnostics::sink()) {}

VciEncoder::VciEncoder(RequestResponseLink* link, VciEncoding::LinkWidth width,
                       DiagnosticsSink& diagnostics)
    : link_(link), linkWidth_(width), diagnostics_(diagnostics) {}

VciEncoder::~VciEncoder() = default;

void VciEncoder::checkLinkWidth() const {
    if (linkWidth_ != VciEncoding::Width32)
        throw Exception("8 bit encoding is no longer supported");
}

void VciEncoder::checkBurst(IncrementAddress increment) const {
    if (increment != NoIncrement && increment != Increment)
        throw Exception("Unsupported increment setting");
    checkLinkWidth();
}

void VciEncoder::catchUp(const std::string& failure) const {
    const unsigned int value = catchUpValues + ++catchUps_;
    ConnectionLinkPacket ping;
    ping << (pingCommand << 24) << value;
    const ConnectionLinkPacket echo = ping; // the echo begins with the same two words
    ping << 0u;
    ConnectionLinkPacket reply = link_->transfer(ping, 12);
    for (unsigned int dropped = 0; !reply.empty() && dropped < maxDroppedReplies; ++dropped) {
        if (reply.size() == 12 && std::equal(echo.begin(), echo.end(), reply.begin())) {
            outOfStep_ = false;
            return;
        }
        diagnostics_.line() << "VciEncoder: dropped a reply of " << reply.size()
                            << " bytes that came after its time-out\n";
        reply = link_->receive(12);
    }
    throw Exception(failure + "No reply received");
}

unsigned char* VciEncoder::request(std::initializer_list<unsigned int> words,
                                   std::size_t more) const {
    request_.resize(wordBytes * (words.size() + more));
    unsigned char* out = request_.data();
    for (unsigned int word : words)
        out = putWord(out, word);
    return out;
}

const unsigned char* VciEncoder::transact(unsigned int replyLength, unsigned int replyCommand,
                                          const std::string& sizeFailure,
                                          const char* wrongReply) const {
    if (outOfStep_) catchUp(sizeFailure);
    link_->transfer(request_.data(), request_.size(), replyLength, reply_);
    if (reply_.empty()) {
        outOfStep_ = true; // the reply may still come
        throw Exception(sizeFailure + "No reply received");
    }
    if (reply_.size() != replyLength)
        throw Exception(sizeFailure + "reply size = " + std::to_string(reply_.size()) +
                        ", expected " + std::to_string(replyLength));
    // The size check left at least the status word behind the first word.
    if (wordAt(reply_.data()) != replyCommand << 24) throw Exception(wrongReply);
    decodeErrors(
        static_cast<unsigned short>(wordAt(reply_.data() + replyLength - wordBytes) >> 16));
    return reply_.data() + wordBytes;
}

std::vector<unsigned int> VciEncoder::vciBurstRead(unsigned int address, unsigned int count,
                                                   IncrementAddress increment) {
    checkBurst(increment);
    std::vector<unsigned int> result;
    while (result.size() < count) {
        const unsigned int words =
            std::min(count - static_cast<unsigned int>(result.size()), maxBurstWords);
        request({commandWord(readCommand, increment, words), address, 0u});
        const unsigned char* data = transact(wordBytes * words + 8, readCommand,
                                             "vciRead failed: ", "vciRead failed: wrong vci reply");
        for (unsigned int k = 0; k < words; ++k, data += wordBytes)
            result.push_back(wordAt(data));
        if (increment == Increment) address += wordBytes * words;
    }
    return result;
}

void VciEncoder::vciBurstWrite(unsigned int address, const std::vector<unsigned int>& data,
                               IncrementAddress increment) {
    checkBurst(increment);
    for (std::size_t done = 0; done < data.size();) {
        const unsigned int words =
            static_cast<unsigned int>(std::min<std::size_t>(data.size() - done, maxBurstWords));
        // The words and the closing 0 follow.
        unsigned char* out =
            request({commandWord(writeCommand, increment, words), address}, words + 1);
        for (unsigned int k = 0; k < words; ++k)
            out = putWord(out, data[done + k]);
        putWord(out, 0u);
        transact(8, writeCommand, "vciwrite failed: ", "vciWrite failed: wrong vci reply");
        done += words;
        if (increment == Increment) address += wordBytes * words;
    }
}

unsigned int VciEncoder::vciRead(unsigned int address) {
    return vciBurstRead(address, 1, Increment).at(0);
}

void VciEncoder::vciWrite(unsigned int address, unsigned int data) {
    vciBurstWrite(address, std::vector<unsigned int>{data}, Increment);
}

unsigned int VciEncoder::ping(unsigned int value) {
    checkLinkWidth();
    request({pingCommand << 24, value, 0u});
    return wordAt(transact(12, pingCommand, "vciPing failed: ", "vciPing failed: wrong vci reply"));
}

unsigned int VciEncoder::getVciDataWidth() const {
    checkLinkWidth();
    request({infoCommand << 24, 0u});
    const unsigned int widths =
        wordAt(transact(12, infoCommand, "vciinfo failed: ", "vciInfo failed: wrong vci reply"));
    addressWidth_ = widths & 0xFFu;
    dataWidth_ = (widths >> 8) & 0xFFu;
    return dataWidth_;
}

unsigned int VciEncoder::getVciAddressWidth() {
    if (addressWidth_ != 0) return addressWidth_;
    getVciDataWidth();
    return addressWidth_ & 0xFFu;
}

void VciEncoder::decodeErrors(unsigned short errorWord) const {
    static const char* const lines[] = {"CRC error\n",
                                        "Internal error in hardware\n",
                                        "Packet sop/eop error\n",
                                        "Unsupported feature error\n",
                                        "Timeout error\n",
                                        "Unknown command error\n"};
    for (unsigned int bit = 0; bit < 6; ++bit) {
        if (errorWord & (1u << bit)) diagnostics_.write(lines[bit]);
    }
    if (errorWord & 0xC0u)
        diagnostics_.line() << "Protocol specific error " << (errorWord >> 12) << "\n";
}
