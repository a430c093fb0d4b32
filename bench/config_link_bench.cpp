// Register round trips over the configuration stack against a loopback peer
// that answers at once, beside the raw loopback round trip of a 12-byte
// request and reply measured in the same run, and the 927-word burst write
// that carries one base-chain transfer. The peer runs on a thread of its own,
// so the CPU column is the client's CPU time per access; the argument places
// the client and the peer (ThreadPlacement.h).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ThreadPlacement.h"
#include "link/HdlcConnectionLink32.h"
#include "link/RequestResponseLink.h"
#include "link/TcpConnectionLink.h"
#include "vci/VciEncoder.h"

namespace {

using Words = std::vector<uint32_t>;
using Bytes = std::vector<unsigned char>;
// Gets the bytes received and not yet answered; removes what it answers from
// the front and returns the reply.
using Responder = std::function<Bytes(Bytes& pending)>;

// A peer on an ephemeral loopback port that serves one connection on a thread
// of its own, answering what it receives with the responder, until the client
// closes the connection.
class ResponderPeer {
public:
    explicit ResponderPeer(Responder responder)
        : listening_(::socket(AF_INET, SOCK_STREAM, 0)), responder_(std::move(responder)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listening_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listening_, 1) != 0 ||
            ::getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on a loopback port");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    // The client must have connected and closed its connection by now.
    ~ResponderPeer() {
        thread_.join();
        ::close(listening_);
    }
    unsigned short port() const { return port_; }

private:
    void serve() {
        const int connection = ::accept(listening_, nullptr, nullptr);
        const int on = 1; // replies go out at once, as a basestation's would
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Bytes pending;
        unsigned char chunk[65536];
        for (ssize_t n; (n = ::recv(connection, chunk, sizeof chunk, 0)) > 0;) {
            pending.insert(pending.end(), chunk, chunk + n);
            const Bytes reply = responder_(pending);
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t k =
                    ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (k <= 0) break;
                sent += static_cast<std::size_t>(k);
            }
        }
        ::close(connection);
    }

    int listening_;
    Responder responder_;
    unsigned short port_ = 0;
    std::thread thread_;
};

// The basestation's side of the configuration protocol at the frame level,
// with framing of its own: takes each complete frame (flag 0x7E, escape 0x7D,
// XOR 0x20) out of the received bytes, hands its big-endian words to the
// handler and frames the reply words, padded with flags to whole words.
Responder frameResponder(Words (*handler)(const Words&)) {
    return [handler](Bytes& pending) {
        Bytes replies;
        for (;;) {
            const auto start = std::find_if(pending.begin(), pending.end(),
                                            [](unsigned char b) { return b != 0x7E; });
            const auto end = std::find(start, pending.end(), 0x7E);
            if (end == pending.end()) {
                pending.erase(pending.begin(), start);
                return replies;
            }
            Bytes payload;
            for (auto it = start; it != end; ++it)
                payload.push_back(*it == 0x7D ? static_cast<unsigned char>(*++it ^ 0x20) : *it);
            pending.erase(pending.begin(), end);
            Words request;
            for (std::size_t i = 0; i + 4 <= payload.size(); i += 4)
                request.push_back((uint32_t{payload[i]} << 24) | (uint32_t{payload[i + 1]} << 16) |
                                  (uint32_t{payload[i + 2]} << 8) | payload[i + 3]);
            const Words reply = handler(request);
            if (reply.empty()) continue;
            replies.push_back(0x7E);
            for (uint32_t word : reply) {
                for (int shift = 24; shift >= 0; shift -= 8) {
                    const auto byte = static_cast<unsigned char>(word >> shift);
                    if (byte == 0x7E || byte == 0x7D) {
                        replies.push_back(0x7D);
                        replies.push_back(static_cast<unsigned char>(byte ^ 0x20));
                    } else {
                        replies.push_back(byte);
                    }
                }
            }
            replies.push_back(0x7E);
            while (replies.size() % 4 != 0)
                replies.push_back(0x7E);
        }
    };
}

// Answers reads with a fixed word and acknowledges writes.
Words basestationReply(const Words& request) {
    if (request.empty()) return {};
    switch (request[0] >> 24) {
    case 0x01: {
        Words reply{0x01000000};
        reply.resize(1 + (request[0] & 0xFFFF) + 1, 0x12345678);
        reply.push_back(0);
        return reply;
    }
    case 0x02:
        return {0x02000000, 0};
    default:
        return {};
    }
}

struct EncoderOnPeer {
    explicit EncoderOnPeer(const benchmark::State& state) : placement(state) {
        placement.client();
        vci = std::make_unique<VciEncoder>(new RequestResponseLink(new HdlcConnectionLink32(
                                               new TcpConnectionLink("127.0.0.1", peer.port()))),
                                           VciEncoding::Width32);
    }
    ThreadPlacement placement;
    ResponderPeer peer{frameResponder(basestationReply)};
    std::unique_ptr<VciEncoder> vci;
};

void RawLoopbackRoundTrip12(benchmark::State& state) {
    ThreadPlacement placement(state);
    ResponderPeer peer([](Bytes& pending) {
        const std::size_t whole = pending.size() - pending.size() % 12;
        Bytes reply(pending.begin(), pending.begin() + whole);
        pending.erase(pending.begin(), pending.begin() + whole);
        return reply;
    });
    placement.client();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(peer.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to the loopback peer");
    unsigned char request[12] = {0x01, 0x01, 0, 0, 0, 0, 0, 0x18, 0, 0, 0, 0};
    unsigned char reply[12];
    for (auto _ : state) {
        if (::send(fd, request, sizeof request, MSG_NOSIGNAL) != sizeof request)
            state.SkipWithError("send failed");
        std::size_t got = 0;
        while (got < sizeof reply) {
            const ssize_t n = ::recv(fd, reply + got, sizeof reply - got, 0);
            if (n <= 0) {
                state.SkipWithError("recv failed");
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        benchmark::DoNotOptimize(reply);
    }
    ::close(fd);
}
BENCHMARK(RawLoopbackRoundTrip12)->Apply(ThreadPlacement::each)->UseRealTime();

void RegisterRead(benchmark::State& state) {
    EncoderOnPeer stack(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(stack.vci->vciRead(0x18));
}
BENCHMARK(RegisterRead)->Apply(ThreadPlacement::each)->UseRealTime();

void RegisterWrite(benchmark::State& state) {
    EncoderOnPeer stack(state);
    unsigned int value = 0;
    for (auto _ : state)
        stack.vci->vciWrite(0x18, ++value);
}
BENCHMARK(RegisterWrite)->Apply(ThreadPlacement::each)->UseRealTime();

void BurstWrite927(benchmark::State& state) {
    EncoderOnPeer stack(state);
    std::vector<unsigned int> words(927);
    for (unsigned int i = 0; i < words.size(); ++i)
        words[i] = i * 0x01010101u; // includes flag and escape bytes
    for (auto _ : state)
        stack.vci->vciBurstWrite(0x8000, words, VciInterface::NoIncrement);
    state.SetBytesProcessed(state.iterations() * 4 * 927);
}
BENCHMARK(BurstWrite927)->Apply(ThreadPlacement::each)->UseRealTime();

} // namespace
