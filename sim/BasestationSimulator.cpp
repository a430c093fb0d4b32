#include "sim/BasestationSimulator.h"

#include <utility>

namespace tolmaren_sim {

BasestationSimulator::BasestationSimulator(const SimulatorOptions& options, RigWiring rig)
    : hardware_(std::make_unique<HardwareModel>(options, std::move(rig))),
      truth_(ProbeTruth::draw(options.seed, hardware_->asic.probeType())),
      configServer_(mutex_, *hardware_), dataServer_(mutex_, *hardware_, truth_) {}

BasestationSimulator::~BasestationSimulator() {
    stop();
}

void BasestationSimulator::start() {
    configServer_.start(hardware_->options.address, hardware_->options.configPort);
    try {
        dataServer_.start();
    } catch (...) {
        configServer_.stop();
        throw;
    }
}

void BasestationSimulator::stop() {
    dataServer_.stop();
    configServer_.stop();
}

uint32_t BasestationSimulator::registerValue(uint32_t address) const {
    return inspect([&](const HardwareModel& hw) { return hw.registers.peek(address); });
}

std::array<std::string, 2> BasestationSimulator::displayLines() const {
    return inspect([](const HardwareModel& hw) { return hw.registers.displayLines(); });
}

std::vector<std::string> BasestationSimulator::displayHistory() const {
    return inspect([](const HardwareModel& hw) {
        std::vector<std::string> lines;
        for (const auto& display : hw.registers.displayHistory())
            lines.push_back(display[1]);
        return lines;
    });
}

std::vector<bool> BasestationSimulator::chain(unsigned int chain) const {
    return inspect([&](const HardwareModel& hw) { return hw.asic.chain(chain); });
}

uint8_t BasestationSimulator::headstageRegister(uint8_t reg) const {
    return inspect([&](const HardwareModel& hw) { return hw.headstage.read(reg); });
}

uint8_t BasestationSimulator::serializerRegister(uint8_t reg) const {
    return inspect([&](const HardwareModel& hw) { return hw.serializer.read(reg); });
}

uint8_t BasestationSimulator::deserializerRegister(uint8_t reg) const {
    return inspect([&](const HardwareModel& hw) { return hw.deserializer.read(reg); });
}

Eeprom::Contents BasestationSimulator::eepromContents() const {
    return inspect([](const HardwareModel& hw) { return hw.eeprom.contents(); });
}

int BasestationSimulator::asicMode() const {
    return inspect([](const HardwareModel& hw) { return hw.asic.mode(); });
}

int BasestationSimulator::probeType() const {
    return inspect([](const HardwareModel& hw) { return hw.asic.probeType(); });
}

RequestCounters BasestationSimulator::counters() const {
    return inspect([](const HardwareModel& hw) {
        RequestCounters counters = hw.counters;
        counters.uartTransactions = hw.bridge.transactions();
        return counters;
    });
}

Faults BasestationSimulator::faults() const {
    return inspect([](const HardwareModel& hw) { return hw.faults; });
}

void BasestationSimulator::setFaults(const Faults& faults) {
    modify([&](HardwareModel& hw) {
        hw.faults = faults;
        hw.restartFaultCounts();
    });
}

void BasestationSimulator::setTemperatureCode(uint32_t code) {
    modify([&](HardwareModel& hw) { hw.registers.setTemperatureCode(code); });
}

} // namespace tolmaren_sim
