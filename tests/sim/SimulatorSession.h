#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "link/HdlcConnectionLink32.h"
#include "link/RequestResponseLink.h"
#include "link/TcpConnectionLink.h"
#include "registers/neuroprobe.h"
#include "sim/BasestationSimulator.h"
#include "vci/VciEncoder.h"

// An in-process simulator on a free loopback port, reached through the
// library's register-access stack and register map, with helpers that speak
// the UART bridge's command protocol register by register.
class SimulatorSession {
public:
    static tolmaren_sim::SimulatorOptions ephemeral(tolmaren_sim::SimulatorOptions options = {}) {
        options.address = "127.0.0.1";
        options.configPort = 0;
        return options;
    }

    explicit SimulatorSession(const tolmaren_sim::SimulatorOptions& options = {})
        : sim(ephemeral(options)) {
        sim.start();
        connect();
    }

    // A fresh configuration link (the old one, if any, is closed first).
    void connect() {
        map.reset();
        vci.reset();
        vci =
            std::make_unique<VciEncoder>(new RequestResponseLink(new HdlcConnectionLink32(
                                             new TcpConnectionLink("127.0.0.1", sim.configPort()))),
                                         VciEncoding::LinkWidth(1));
        map = std::make_unique<neuroprobe>(0, vci.get());
    }

    void setFaults(void (*change)(tolmaren_sim::Faults&)) {
        auto faults = sim.faults();
        change(faults);
        sim.setFaults(faults);
    }

    // What the bridge returned for one command transaction.
    struct UartReply {
        std::optional<uint8_t> ack; // none: nothing arrived within the poll limit
        std::vector<uint8_t> bytes; // reply bytes that arrived
        uint32_t flags = 0;         // error flags read after the transaction
    };

    // Waits for one byte of the receive FIFO as the host does: up to 2002
    // reads of rx_count, then one read of rx_data.
    std::optional<uint8_t> receiveByte() {
        for (int poll = 0; poll < 2002; ++poll) {
            if (map->vci2uart.rx_count.read() != 0)
                return static_cast<uint8_t>(map->vci2uart.rx_data.read());
        }
        return std::nullopt;
    }

    UartReply transaction(const std::vector<unsigned int>& command, std::size_t replyBytes) {
        vci->vciBurstWrite(map->vci2uart.tx_data.getAddress(), command, VciInterface::NoIncrement);
        UartReply reply;
        reply.ack = receiveByte();
        for (std::size_t i = 0; reply.ack && i < replyBytes; ++i) {
            auto byte = receiveByte();
            if (!byte) break;
            reply.bytes.push_back(*byte);
        }
        reply.flags = static_cast<uint32_t>(map->vci2uart.uart_error_flags.flags.read());
        return reply;
    }

    UartReply uartWrite(uint8_t device, uint8_t reg, const std::vector<unsigned int>& values) {
        std::vector<unsigned int> command{0x79, device, reg,
                                          static_cast<unsigned int>(values.size())};
        command.insert(command.end(), values.begin(), values.end());
        return transaction(command, 0);
    }

    UartReply uartRead(uint8_t device, uint8_t reg, std::size_t count) {
        return transaction({0x79, device | 1u, reg, static_cast<unsigned int>(count)}, count);
    }

    // Register access that must succeed; a failure fails the calling test.
    void headstageWrite(uint8_t reg, uint8_t value) { checked(uartWrite(0x40, reg, {value})); }
    uint8_t headstageRead(uint8_t reg) { return checked(uartRead(0x40, reg, 1)).bytes.at(0); }

    static const UartReply& checked(const UartReply& reply) {
        if (reply.ack != std::optional<uint8_t>(0xC3) || reply.flags != 0)
            throw std::runtime_error("UART transaction failed");
        return reply;
    }

    tolmaren_sim::BasestationSimulator sim;
    std::unique_ptr<VciEncoder> vci;
    std::unique_ptr<neuroprobe> map;
};
