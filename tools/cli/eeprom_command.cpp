// tolmaren eeprom {read-id,write-id,dump}: the probe identity and the
// contents of the headstage's EEPROM.
#include <cstdio>
#include <memory>
#include <vector>

#include "cli/Commands.h"
#include "cli/ProbeSession.h"
#include "recording/StatusWords.h"
#include "tolmaren_tools/EepromImage.h"

using tolmaren_recording::StatusWords;
using tolmaren_tools::EepromImage;

namespace {

constexpr unsigned int bytesPerLine = 16;

struct EepromOptions {
    uint32_t serial = 0;
    int type = 0;
    std::string output;
};

void readId(const Invocation& invocation) {
    ProbeSession session(invocation);
    AsicID id;
    StatusWords::check("tolmaren_readId", session.api().tolmaren_readId(id));
    std::printf("serial number %u, probe type %d\n", id.serialNumber, int(id.probeType));
}

void writeId(const Invocation& invocation, const EepromOptions& options) {
    ProbeSession session(invocation);
    AsicID id;
    id.serialNumber = options.serial;
    id.probeType = static_cast<int8_t>(options.type);
    StatusWords::check("tolmaren_writeId", session.api().tolmaren_writeId(id));
    std::printf("wrote serial number %u, probe type %d; the next open uses them\n", id.serialNumber,
                int(id.probeType));
}

void dump(const Invocation& invocation, const EepromOptions& options) {
    ProbeSession session(invocation);
    const std::vector<unsigned char> bytes = EepromImage::read(session.api());
    if (!options.output.empty()) {
        EepromImage::save(bytes, options.output);
        std::printf("wrote the %u EEPROM bytes to %s\n", EepromImage::bytes,
                    options.output.c_str());
        return;
    }
    for (unsigned int line = 0; line < EepromImage::bytes; line += bytesPerLine) {
        std::printf("%04x ", line);
        for (unsigned int i = 0; i < bytesPerLine; ++i)
            std::printf(" %02x", bytes[line + i]);
        std::printf("\n");
    }
}

} // namespace

void addEepromCommand(CLI::App& app, Invocation& invocation) {
    auto options = std::make_shared<EepromOptions>();
    CLI::App* eeprom = app.add_subcommand("eeprom", "Read or write the probe identity in the "
                                                    "headstage's EEPROM, or dump the EEPROM");
    eeprom->require_subcommand(1);

    CLI::App* read = eeprom->add_subcommand("read-id", "Print the probe's serial number and type");
    addBasestationOptions(*read, invocation);
    read->callback([&invocation] { readId(invocation); });

    CLI::App* write = eeprom->add_subcommand("write-id", "Store a serial number and probe type");
    write->add_option("--serial", options->serial, "Serial number (0 to 2^30-1)")
        ->required()
        ->check(CLI::Range(0u, 0x3FFFFFFFu));
    write->add_option("--type", options->type, "Probe type (0 to 3)")
        ->required()
        ->check(CLI::Range(0, 3));
    addBasestationOptions(*write, invocation);
    write->callback([&invocation, options] { writeId(invocation, *options); });

    CLI::App* dumpCommand = eeprom->add_subcommand(
        "dump", "Print all 2048 EEPROM bytes in hex, or write them to a file");
    dumpCommand->add_option("--output", options->output, "Write the bytes to this file instead");
    addBasestationOptions(*dumpCommand, invocation);
    dumpCommand->callback([&invocation, options] { dump(invocation, *options); });
}
