#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// A minimal client of the configuration port for wire-level tests: its own
// framing (flag 0x7E, escape 0x7D, XOR 0x20), raw bytes in and out.
class RawConfigClient {
public:
    explicit RawConfigClient(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            throw std::runtime_error("cannot connect to the simulator");
        int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~RawConfigClient() { close(); }
    RawConfigClient(const RawConfigClient&) = delete;
    RawConfigClient& operator=(const RawConfigClient&) = delete;

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    void sendBytes(const std::vector<uint8_t>& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) throw std::runtime_error("send failed");
            sent += static_cast<std::size_t>(n);
        }
    }

    static std::vector<uint8_t> wordBytes(const std::vector<uint32_t>& words) {
        std::vector<uint8_t> bytes;
        for (uint32_t w : words) {
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes.push_back(static_cast<uint8_t>(w >> shift));
        }
        return bytes;
    }

    static std::vector<uint8_t> frame(const std::vector<uint8_t>& payload) {
        std::vector<uint8_t> out{0x7E};
        for (uint8_t b : payload) {
            if (b == 0x7E || b == 0x7D) {
                out.push_back(0x7D);
                out.push_back(b ^ 0x20);
            } else {
                out.push_back(b);
            }
        }
        out.push_back(0x7E);
        return out;
    }

    void sendRequest(const std::vector<uint32_t>& words) { sendBytes(frame(wordBytes(words))); }

    // One byte, or nothing when none arrives within timeoutMs or the
    // connection is closed (closed() tells which).
    std::optional<uint8_t> readByte(int timeoutMs) {
        if (pos_ == buffer_.size()) {
            buffer_.clear();
            pos_ = 0;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
            uint8_t chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                closed_ = true;
                return std::nullopt;
            }
            buffer_.assign(chunk, chunk + n);
        }
        return buffer_[pos_++];
    }
    bool closed() const { return closed_; }

    // The raw bytes of the next frame from its opening flag up to and
    // including its closing flag; fill flags in front are skipped.
    std::optional<std::vector<uint8_t>> readRawFrame(int timeoutMs = 1000) {
        std::vector<uint8_t> raw{0x7E};
        std::optional<uint8_t> b;
        do {
            b = readByte(timeoutMs);
            if (!b) return std::nullopt;
        } while (*b == 0x7E);
        while (*b != 0x7E) {
            raw.push_back(*b);
            b = readByte(timeoutMs);
            if (!b) return std::nullopt;
        }
        raw.push_back(0x7E);
        return raw;
    }

    // The words of the next reply, unstuffed.
    std::optional<std::vector<uint32_t>> readReply(int timeoutMs = 1000) {
        auto raw = readRawFrame(timeoutMs);
        if (!raw) return std::nullopt;
        std::vector<uint8_t> payload;
        bool escaped = false;
        for (std::size_t i = 1; i + 1 < raw->size(); ++i) {
            if ((*raw)[i] == 0x7D) {
                escaped = true;
                continue;
            }
            payload.push_back(escaped ? (*raw)[i] ^ 0x20 : (*raw)[i]);
            escaped = false;
        }
        if (payload.size() % 4 != 0) throw std::runtime_error("reply is not whole words");
        std::vector<uint32_t> words;
        for (std::size_t i = 0; i < payload.size(); i += 4) {
            words.push_back((uint32_t{payload[i]} << 24) | (uint32_t{payload[i + 1]} << 16) |
                            (uint32_t{payload[i + 2]} << 8) | payload[i + 3]);
        }
        return words;
    }

    std::vector<uint32_t> transact(const std::vector<uint32_t>& request) {
        sendRequest(request);
        auto reply = readReply();
        if (!reply) throw std::runtime_error("no reply");
        return *reply;
    }

private:
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    std::size_t pos_ = 0;
    bool closed_ = false;
};
