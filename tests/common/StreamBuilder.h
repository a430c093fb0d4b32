#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// Neural data in the basestation's wire layout, every 32-bit word most
// significant byte first: electrode blocks (612 bytes, 12 to a packet) and ADC
// records (48 bytes, 13 to a packet). The contents follow a pattern that
// differs in every field from unit to unit, uses all bits of every field, and
// sets every bit that a reader must ignore (unused header and counter bits,
// the third code of the 11th data word).
class StreamBuilder {
public:
    static constexpr unsigned int electrodePacketSize = 12 * 612;
    static constexpr unsigned int adcPacketSize = 13 * 48;

    // Pattern values of electrode block n and ADC record r of the stream.
    static bool trigger(unsigned int n) { return n % 3 == 1; }
    static uint32_t sync(unsigned int n) { return (n * 40503u + 0x8001u) & 0xFFFF; }
    static uint32_t counter(unsigned int n, unsigned int k) {
        return ((n * 13 + k) * 2654435761u) & 0xFFFFFF;
    }
    static uint32_t lfp(unsigned int n, unsigned int v) { return (n * 29 + v * 31 + 517) % 1024; }
    static uint32_t ap(unsigned int n, unsigned int c) { return (n * 97 + c * 7 + 11) % 1024; }
    static uint32_t adcCounter(unsigned int r) { return (r * 40503u + 0x800007u) & 0xFFFFFF; }
    static uint32_t adc(unsigned int r, unsigned int a) { return (r * 53 + a * 19 + 3) % 1024; }

    // Pattern blocks n = 12 first to 12 (first + count) - 1, indices 0 to 11.
    StreamBuilder& electrodePackets(unsigned int count, unsigned int first = 0) {
        for (unsigned int n = 12 * first; n < 12 * (first + count); ++n) {
            word(0x7FE00000u | (n % 12) << 17 | uint32_t(trigger(n)) << 16 | sync(n));
            word(counterWord(counter(n, 0)));
            for (unsigned int v = 0; v < 33; v += 3)
                word(codes(lfp(n, v), lfp(n, v + 1), v + 2 < 32 ? lfp(n, v + 2) : 1023));
            for (unsigned int k = 1; k < 13; ++k)
                word(counterWord(counter(n, k)));
            for (unsigned int c = 0; c < 384; c += 3)
                word(codes(ap(n, c), ap(n, c + 1), ap(n, c + 2)));
        }
        return *this;
    }

    // Pattern records r = 13 first to 13 (first + count) - 1.
    StreamBuilder& adcPackets(unsigned int count, unsigned int first = 0) {
        for (unsigned int r = 13 * first; r < 13 * (first + count); ++r) {
            word(counterWord(adcCounter(r)));
            for (unsigned int a = 0; a < 33; a += 3)
                word(codes(adc(r, a), adc(r, a + 1), a + 2 < 32 ? adc(r, a + 2) : 1023));
        }
        return *this;
    }

    // Counter word 0 of every block made to count blocks from `first`, as the
    // basestation's does (the pattern's counters jump).
    StreamBuilder& countBlocks(uint32_t first = 0) {
        for (std::size_t n = 0; n < bytes_.size() / 612; ++n) {
            const uint32_t word = 0xC0000000u | ((first + n) & 0xFFFFFF);
            for (unsigned int i = 0; i < 4; ++i)
                bytes_[n * 612 + 4 + i] = static_cast<unsigned char>(word >> (24 - 8 * i));
        }
        return *this;
    }

    std::vector<unsigned char>& data() { return bytes_; }
    void writeFile(const std::string& path) const {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
    }

private:
    // Marker 11, bit 29 clear, bits 28..24 (unused) set.
    static uint32_t counterWord(uint32_t value) { return 0xDF000000u | value; }
    static uint32_t codes(uint32_t first, uint32_t second, uint32_t third) {
        return third << 20 | second << 10 | first;
    }
    void word(uint32_t w) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes_.push_back(static_cast<unsigned char>(w >> shift));
    }

    std::vector<unsigned char> bytes_;
};
