#include "sim/CommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>

#include "sim/SimulatorRig.h"

namespace tolmaren_sim {

namespace {

unsigned long number(const std::string& text, unsigned long max) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        throw std::invalid_argument("'" + text + "' is not a number");
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (*end != '\0' || errno == ERANGE)
        throw std::invalid_argument("'" + text + "' is not a number");
    if (value > max) throw std::invalid_argument(text + " is above " + std::to_string(max));
    return value;
}

// A stream unit's number, or a count of them.
uint64_t unit(const std::string& text) {
    return static_cast<uint64_t>(number(text, 0xFFFFFFFFFFFFFFFFul));
}

using Setter = std::function<void(SimulatorOptions&, const std::string&)>;
using RigSetter = std::function<void(CommandLine::Result&, const std::string&)>;

struct Option {
    // Most options set the basestation's options, from which those of the
    // others of a rig follow.
    Option(bool takesValue, Setter set)
        : takesValue(takesValue),
          set([set](CommandLine::Result& r, const std::string& v) { set(r.options, v); }) {}
    Option(bool takesValue, RigSetter set) : takesValue(takesValue), set(std::move(set)) {}

    bool takesValue;
    RigSetter set;
};

const std::map<std::string, Option>& optionTable() {
    static const std::map<std::string, Option> table = {
        {"--probe-type",
         {true, [](SimulatorOptions& o,
                   const std::string& v) { o.probeType = static_cast<int>(number(v, 3)); }}},
        {"--serial",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.serialNumber = static_cast<uint32_t>(number(v, 0x3FFFFFFF));
          }}},
        {"--eeprom", {true, [](SimulatorOptions& o, const std::string& v) { o.eepromFile = v; }}},
        {"--fpga-version",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              const auto dot = v.find('.');
              if (dot == std::string::npos)
                  throw std::invalid_argument("--fpga-version wants MAJOR.MINOR");
              o.fpgaVersionMajor = static_cast<uint16_t>(number(v.substr(0, dot), 0xFFFF));
              o.fpgaVersionMinor = static_cast<uint16_t>(number(v.substr(dot + 1), 0xFFFF));
          }}},
        {"--seed",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.seed = static_cast<uint64_t>(number(v, 0xFFFFFFFFFFFFFFFFul));
          }}},
        {"--address", {true, [](SimulatorOptions& o, const std::string& v) { o.address = v; }}},
        {"--basestations",
         {true,
          [](CommandLine::Result& r, const std::string& v) {
              r.basestations = static_cast<unsigned int>(number(v, SimulatorRig::maxBasestations));
              if (r.basestations == 0) throw std::invalid_argument("a rig needs a basestation");
          }}},
        {"--config-port",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.configPort = static_cast<uint16_t>(number(v, 0xFFFF));
          }}},
        {"--data-port",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.data.port = static_cast<uint16_t>(number(v, 0xFFFF));
          }}},
        {"--fast-data",
         {false,
          [](SimulatorOptions& o, const std::string&) { o.data.pacing = DataPacing::Fast; }}},
        {"--data-fifo",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.data.fifoBytes = static_cast<std::size_t>(number(v, 0xFFFFFFFF));
          }}},
        {"--temperature",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.temperatureCode = static_cast<uint32_t>(number(v, 0xFFFFFFFF));
          }}},
        {"--memory-test-ms",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.memoryTestMs = static_cast<unsigned int>(number(v, 3600000));
          }}},
        {"--no-reply",
         {false,
          [](SimulatorOptions& o, const std::string&) { o.faults.reply = ReplyFault::NoReply; }}},
        {"--late-reply",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.reply = ReplyFault::LateReply;
              o.faults.lateReplyMs = static_cast<unsigned int>(number(v, 3600000));
          }}},
        {"--wrong-first-word",
         {false, [](SimulatorOptions& o,
                    const std::string&) { o.faults.reply = ReplyFault::WrongFirstWord; }}},
        {"--wrong-reply-size",
         {false,
          [](SimulatorOptions& o, const std::string&) { o.faults.reply = ReplyFault::WrongSize; }}},
        {"--cut-reply",
         {false,
          [](SimulatorOptions& o, const std::string&) { o.faults.reply = ReplyFault::CutReply; }}},
        {"--status-errors",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.statusErrorBits = static_cast<uint16_t>(number(v, 0xFFFF));
          }}},
        {"--close-after",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.closeAfterRequests = static_cast<unsigned int>(number(v, 0xFFFFFFFF));
          }}},
        {"--uart-no-ack",
         {false, [](SimulatorOptions& o, const std::string&) { o.faults.uartNoAck = true; }}},
        {"--uart-wrong-ack",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.uartWrongAck = static_cast<uint8_t>(number(v, 0xFF));
          }}},
        {"--uart-flags",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.uartErrorFlags = static_cast<uint8_t>(number(v, 0x0F));
          }}},
        {"--uart-missing-bytes",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.uartMissingReplyBytes = static_cast<unsigned int>(number(v, 0xFFFF));
          }}},
        {"--headstage-silent",
         {false, [](SimulatorOptions& o, const std::string&) { o.faults.headstageSilent = true; }}},
        {"--eeprom-not-done",
         {false,
          [](SimulatorOptions& o, const std::string&) { o.faults.eeprom = EepromFault::NotDone; }}},
        {"--eeprom-error",
         {false,
          [](SimulatorOptions& o, const std::string&) { o.faults.eeprom = EepromFault::Error; }}},
        {"--dead-leds",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.deadLeds = static_cast<uint32_t>(number(v, 0xFFFFFFFF));
          }}},
        {"--memory-test-error",
         {false, [](SimulatorOptions& o, const std::string&) { o.faults.memoryTestError = true; }}},
        {"--test7-errors",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.test7ErrorCount = static_cast<uint32_t>(number(v, 0xFFFFFFFF));
          }}},
        {"--test8-flags",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.test8ErrorFlags = static_cast<uint8_t>(number(v, 7));
          }}},
        {"--test8-selection",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.test8Selection = static_cast<uint8_t>(number(v, 3));
          }}},
        {"--prbs-errors",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.faults.prbsErrors = static_cast<uint8_t>(number(v, 0xFF));
          }}},
        {"--stall-at",
         {true, [](SimulatorOptions& o,
                   const std::string& v) { o.data.faults.pauseAtUnit = unit(v); }}},
        {"--stall-ms",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              o.data.faults.pauseMs = static_cast<unsigned int>(number(v, 0xFFFFFFFF));
          }}},
        {"--drop-at",
         {true,
          [](SimulatorOptions& o, const std::string& v) { o.data.faults.dropAtUnit = unit(v); }}},
        {"--drop-count",
         {true,
          [](SimulatorOptions& o, const std::string& v) {
              const uint64_t count = unit(v);
              if (count == 0) throw std::invalid_argument("0 drops nothing");
              o.data.faults.dropUnits = count;
          }}},
        {"--splice-at",
         {true, [](SimulatorOptions& o,
                   const std::string& v) { o.data.faults.spliceAtUnit = unit(v); }}},
        {"--corrupt-at",
         {true, [](SimulatorOptions& o,
                   const std::string& v) { o.data.faults.corruptMarkerAtUnit = unit(v); }}},
        {"--wrong-index-at",
         {true, [](SimulatorOptions& o,
                   const std::string& v) { o.data.faults.wrongIndexAtUnit = unit(v); }}},
        {"--close-at",
         {true, [](SimulatorOptions& o,
                   const std::string& v) { o.data.faults.closeAtUnit = unit(v); }}},
    };
    return table;
}

// Options that only qualify another one.
const std::map<std::string, std::string> qualifiers = {{"--stall-ms", "--stall-at"},
                                                       {"--drop-count", "--drop-at"}};

} // namespace

CommandLine::Result CommandLine::parse(const std::vector<std::string>& args) {
    Result result;
    std::set<std::string> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            result.help = true;
            continue;
        }
        std::string value;
        bool inlineValue = false;
        const auto equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inlineValue = true;
        }
        const auto option = optionTable().find(name);
        if (option == optionTable().end()) {
            result.error = "unknown option " + name;
            return result;
        }
        if (option->second.takesValue && !inlineValue) {
            if (i + 1 == args.size()) {
                result.error = name + " needs a value";
                return result;
            }
            value = args[++i];
        } else if (!option->second.takesValue && inlineValue) {
            result.error = name + " takes no value";
            return result;
        }
        try {
            option->second.set(result, value);
        } catch (const std::invalid_argument& e) {
            result.error = name + ": " + e.what();
            return result;
        }
        given.insert(name);
    }
    for (const auto& [option, needed] : qualifiers) {
        if (given.count(option) != 0 && given.count(needed) == 0) {
            result.error = option + " needs " + needed;
            return result;
        }
    }
    // Every basestation of the rig needs an address and a serial number.
    const unsigned int last = result.basestations - 1;
    try {
        if (last > 0) SimulatorRig::address(result.options.address, last);
    } catch (const std::invalid_argument& e) {
        result.error = std::string("--basestations: ") + e.what();
        return result;
    }
    if (result.options.serialNumber && *result.options.serialNumber + last > 0x3FFFFFFF)
        result.error = "--basestations: the serial numbers would pass 2^30-1";
    return result;
}

std::string CommandLine::usage() {
    return R"(Usage: tolmaren_simulator [options]

Stands in for the basestation, headstage and probe: serves the register-access
protocol on the configuration port and the neural data stream (with loopback) on
the data port until interrupted (Ctrl-C).

Probe and hardware:
  --probe-type N         probe type 0 to 3 (default: from the EEPROM file, else 0)
  --serial N             probe serial number, 0 to 2^30-1 (default: from the EEPROM file, else 0)
  --eeprom FILE          keep the 2048-byte EEPROM in FILE (created when missing),
                         so identity and calibration survive a restart
  --fpga-version MAJ.MIN FPGA version reported at 0x0000/0x0004 (default 4.1)
  --temperature CODE     temperature register code (default 2560, about 41.8 C)
  --memory-test-ms MS    how long the memory test stays busy (default 1500)
  --seed N               draws the probe's hidden analogue properties: ADC gains,
                         offsets and comparators, electrode gains and impedances
                         (default 1)

Network:
  --address IPV4         listen address (default: the library's basestation address)
  --basestations N       run a rig of N basestations (1 to 16, default 1) on N
                         consecutive addresses from the listen address on, each
                         with its own probe (serial number and seed + 1 each, and
                         EEPROM file FILE.2, FILE.3, ...), sharing one clock, one
                         synchronization input and one start-trigger line
  --config-port N        configuration port (default 1235; 0 picks a free port)
  --data-port N          data port (default 1234; 0 picks a free port)

Data stream:
  --fast-data            stream as fast as the client reads (default: real time,
                         30000 electrode blocks a second)
  --data-fifo BYTES      data FIFO of real-time pacing (default 16777216); when
                         the client reads too slowly it overflows and data is lost

Faults of the data stream, each once, at a UNIT counted from 0 at the start of
the stream (a new connection, the end of a datapath reset, a change of data
mode): electrode blocks, or ADC records in ADC data mode. Several may be given.
  --stall-at UNIT        send nothing for a while before UNIT (in real time the
                         probe goes on filling the FIFO)
  --stall-ms MS          ... for MS milliseconds (default 1500)
  --drop-at UNIT         never send UNIT; the units after it keep their numbers
  --drop-count N         ... nor any of the N units from UNIT on (default 1)
  --splice-at UNIT       drop the packet's worth of units from UNIT on (12 blocks):
                         the packet around UNIT looks whole but its counters jump
  --corrupt-at UNIT      UNIT's first data word carries the marker 10
  --wrong-index-at UNIT  the block carries the index after its own
  --close-at UNIT        send the first half of UNIT, then close the connection

Faults of the register-access protocol:
  --no-reply             execute requests but never reply
  --late-reply MS        reply MS milliseconds late
  --wrong-first-word     corrupt the first word of every reply
  --wrong-reply-size     add one byte to every reply
  --cut-reply            send half of the first reply, then close the connection
  --status-errors BITS   set these error-word bits (status bits 31..16) in every reply
  --close-after N        close the connection when request N+1 arrives (once)

Faults of the serial link:
  --uart-no-ack          commands get neither acknowledge nor reply bytes
  --uart-wrong-ack BYTE  acknowledge with BYTE instead of 0xC3
  --uart-flags BITS      raise UART error flags (bits 0 to 3) on every transaction
  --uart-missing-bytes N drop the last N reply bytes of every read
  --headstage-silent     the headstage answers nothing
  --eeprom-not-done      EEPROM status never reports done (bit 4 clear)
  --eeprom-error         EEPROM status reports an error (bit 0 set)

Self-test results:
  --dead-leds BITS       these LED bits read back 0
  --memory-test-error    the memory test fails
  --test7-errors N       test 7 error count
  --test8-flags BITS     test 8 checks that fail (error flags, bits 2 to 0)
  --test8-selection N    ... only in runs of pattern selection N (0 to 3)
  --prbs-errors N        PRBS error count of test 6

  -h, --help             show this text
)";
}

} // namespace tolmaren_sim
