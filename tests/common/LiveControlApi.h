#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/Tolmaren_basestation_api.h"
#include "common/ScopedWorkDir.h"
#include "common/TestAddress.h"
#include "sim/BasestationSimulator.h"

// The facade on a live configuration link to the in-process simulator at the
// test's own address. The serial-link transactions and the data flush are replaceable
// operations; this class wraps them so that a test can act between the steps
// of a procedure or fail one transaction as a faulty link would.
class LiveControlApi final : public Tolmaren_basestation_api {
public:
    using Tolmaren_basestation_api::configLink_;
    using Tolmaren_basestation_api::datamodel_;

    struct Transaction {
        unsigned char device;
        unsigned char reg;
        bool write;
        unsigned short firstValue; // writes only
    };

    void setProbeType(int8_t probeType) { asicId_.probeType = probeType; }

    unsigned int tolmaren_writeUart(unsigned char device, unsigned char reg,
                                    std::vector<unsigned short> data) override {
        const Transaction t{device, reg, true,
                            static_cast<unsigned short>(data.empty() ? 0 : data.front())};
        transactions.push_back(t);
        if (failWith)
            if (auto code = failWith(t)) return *code;
        const unsigned int status = Tolmaren_basestation_api::tolmaren_writeUart(device, reg, data);
        if (afterWrite) afterWrite(t);
        return status;
    }

    unsigned int tolmaren_readUart(unsigned char device, unsigned char reg,
                                   std::vector<unsigned char>& data) override {
        const Transaction t{device, reg, false, 0};
        transactions.push_back(t);
        if (failWith)
            if (auto code = failWith(t)) return *code;
        if (beforeRead) beforeRead(t);
        return Tolmaren_basestation_api::tolmaren_readUart(device, reg, data);
    }

    unsigned int tolmaren_flushData() override {
        if (onFlush) onFlush();
        return Tolmaren_basestation_api::tolmaren_flushData();
    }

    // Writes one word to a basestation register over the facade's own link.
    void writeRegister(unsigned int address, unsigned int value) {
        configLink_->vciWrite(address, value);
    }

    std::vector<Transaction> transactions;
    // A code returned instead of running the transaction.
    std::function<std::optional<unsigned int>(const Transaction&)> failWith;
    std::function<void(const Transaction&)> afterWrite;
    std::function<void(const Transaction&)> beforeRead;
    std::function<void()> onFlush;
};

// A simulator at the test's own address and a facade connected to it through
// setupConfigLink, logging into a fresh directory.
class LiveControlTest : public ::testing::Test {
protected:
    void startSimulator(int probeType,
                        tolmaren_sim::SimulatorOptions options = TestAddress::simulator()) {
        api.reset(); // the ports are free again before the next simulator binds them
        sim.reset();
        options.probeType = probeType;
        sim = std::make_unique<tolmaren_sim::BasestationSimulator>(options);
        sim->start();
        api = std::make_unique<LiveControlApi>();
        api->setProbeType(static_cast<int8_t>(probeType));
        api->tolmaren_setBasestationAddress(TestAddress::own());
        api->tolmaren_startLog();
        ASSERT_EQ(api->setupConfigLink(), 0u);
    }
    void SetUp() override { startSimulator(2); }
    void TearDown() override {
        api.reset();
        sim.reset();
    }

    void setFaults(const std::function<void(tolmaren_sim::Faults&)>& change) {
        tolmaren_sim::Faults faults;
        change(faults);
        sim->setFaults(faults);
    }
    // Clears every fault, and with a basestation reset whatever a failed
    // transaction left in the bridge and the shift FIFO.
    void heal() {
        sim->setFaults({});
        api->failWith = nullptr;
        api->afterWrite = nullptr;
        api->beforeRead = nullptr;
        api->writeRegister(0x1014, 1);
        api->writeRegister(0x1014, 0);
    }
    std::string log() const { return dir.readFile("api_log.txt"); }
    static std::size_t count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }

    ScopedWorkDir dir;
    std::unique_ptr<tolmaren_sim::BasestationSimulator> sim;
    std::unique_ptr<LiveControlApi> api;
};
