// tolmaren.Basestation: the facade with Python names, status codes as
// exceptions, data as NumPy arrays.
#include <algorithm>
#include <cmath>
#include <optional>
#include <pybind11/stl.h>

#include "Basestation.h"
#include "Bindings.h"
#include "PythonJson.h"
#include "recording/RecordingInfo.h"
#include "recording/RigManifest.h"
#include "recording/SettingLimits.h"
#include "recording/Sidecar.h"
#include "recording/ToolError.h"
#include "tolmaren_tools/BankSelection.h"
#include "tolmaren_tools/EepromImage.h"

namespace py = pybind11;
using Api = Tolmaren_basestation_api;
using tolmaren_recording::RecordingInfo;
using tolmaren_recording::SettingLimits;
using tolmaren_tools::SelfTests;

namespace {

std::pair<int, int> version(const VersionNumber& v) {
    return {v.major, v.minor};
}

// Exactly one of seconds and packets, as the tool's record command takes them.
uint64_t packetsToRecord(std::optional<double> seconds, std::optional<uint64_t> packets) {
    if (seconds.has_value() == packets.has_value())
        throw py::value_error("give seconds or packets");
    if (seconds && !(*seconds > 0)) throw py::value_error("seconds must be positive");
    const uint64_t count =
        packets ? *packets
                : static_cast<uint64_t>(std::llround(*seconds * RecordingInfo::lfpSampleRateHz));
    if (count == 0) throw py::value_error("nothing to record: at least one packet (1/2500 s)");
    return count;
}

void bindIdentity(py::class_<Basestation>& c) {
    c.def_property_readonly(
         "api_version",
         [](Basestation& b) {
             return version(b.call([](Api& a) { return a.tolmaren_getAPIVersion(); }));
         },
         "The library's version, (major, minor).")
        .def(
            "fpga_version",
            [](Basestation& b) {
                VersionNumber v;
                b.check("tolmaren_getHardwareVersion",
                        [&](Api& a) { return a.tolmaren_getHardwareVersion(&v); });
                return version(v);
            },
            "The basestation FPGA's version, (major, minor).")
        .def(
            "basestation_version",
            [](Basestation& b) {
                unsigned char v = 0, r = 0;
                b.check("tolmaren_getBSVersion",
                        [&](Api& a) { return a.tolmaren_getBSVersion(v); });
                b.check("tolmaren_getBSRevision",
                        [&](Api& a) { return a.tolmaren_getBSRevision(r); });
                return std::pair<int, int>(v, r);
            },
            "The basestation's (version, revision).")
        .def_property_readonly(
            "probe_type",
            [](Basestation& b) {
                return int(b.call([](Api& a) { return a.tolmaren_getId(); }).probeType);
            },
            "The open probe's type, 0 to 3, as the open read it from the EEPROM.")
        .def_property_readonly(
            "serial_number",
            [](Basestation& b) {
                return b.call([](Api& a) { return a.tolmaren_getId(); }).serialNumber;
            },
            "The open probe's serial number, as the open read it from the EEPROM.")
        .def(
            "read_id",
            [](Basestation& b) {
                AsicID id;
                b.check("tolmaren_readId", [&](Api& a) { return a.tolmaren_readId(id); });
                return std::pair<uint32_t, int>(id.serialNumber, id.probeType);
            },
            "Reads the probe identity from the headstage's EEPROM: (serial_number, probe_type).")
        .def(
            "write_id",
            [](Basestation& b, uint32_t serial, int type) {
                AsicID id;
                id.serialNumber = serial;
                id.probeType = static_cast<int8_t>(type);
                b.check("tolmaren_writeId", [&](Api& a) { return a.tolmaren_writeId(id); });
            },
            py::arg("serial_number"), py::arg("probe_type"),
            "Stores a serial number (below 2**30) and probe type (0 to 3) in the EEPROM; the "
            "open probe takes them at once, the next open reads them.")
        .def(
            "eeprom",
            [](Basestation& b, const std::optional<std::string>& path) {
                const auto image =
                    b.call([](Api& a) { return tolmaren_tools::EepromImage::read(a); });
                if (path) {
                    py::gil_scoped_release release;
                    tolmaren_tools::EepromImage::save(image, *path);
                }
                return py::bytes(reinterpret_cast<const char*>(image.data()), image.size());
            },
            py::arg("path") = py::none(),
            "All 2048 bytes of the headstage's EEPROM, as bytes; also written to `path` when "
            "given (as `tolmaren eeprom dump --output`).");
}

void bindState(py::class_<Basestation>& c) {
    c.def(
         "temperature",
         [](Basestation& b) {
             float celsius = 0;
             b.check("tolmaren_readTemperature",
                     [&](Api& a) { return a.tolmaren_readTemperature(celsius); });
             return celsius;
         },
         "The basestation's temperature in degrees Celsius.")
        .def(
            "fifo_filling",
            [](Basestation& b) { return b.call([](Api& a) { return a.tolmaren_fifoFilling(); }); },
            "How full the basestation's data FIFO is, in percent. Data that the host does not "
            "take in time fills it; a full FIFO drops data.")
        .def(
            "check_datapath",
            [](Basestation& b) {
                b.check("tolmaren_checkBasestationDatapath",
                        [](Api& a) { return a.tolmaren_checkBasestationDatapath(); });
            },
            "Raises Error when the basestation's datapath reports an error (data lost, or a "
            "datapath self test counted errors).")
        .def_property(
            "data_mode",
            [](Basestation& b) {
                return b.call([](Api& a) { return a.tolmaren_getDatamode(); }) ? "electrode"
                                                                               : "adc";
            },
            [](Basestation& b, const std::string& mode) {
                if (mode != "electrode" && mode != "adc")
                    throw py::value_error("data_mode is 'electrode' or 'adc'");
                b.check("tolmaren_datamode",
                        [&](Api& a) { return a.tolmaren_datamode(mode == "electrode"); });
                // What the link holds is in the old form: start the stream anew.
                b.check("tolmaren_resetDatapath",
                        [](Api& a) { return a.tolmaren_resetDatapath(); });
            },
            "'electrode' (AP and LFP samples per channel, read with read()) or 'adc' (the 32 "
            "ADCs' raw conversions, read with read_adc()). The open sets 'electrode'. Setting "
            "it resets the datapath, dropping the data not yet read, so that the stream starts "
            "anew in the new form.")
        .def(
            "settings", [](Basestation& b) { return PythonJson::parse(b.settings()); },
            "The probe's identity, versions and the settings of every channel as last written "
            "to the probe (bank, electrode, gain codes and gains, reference, standby) and the "
            "high-pass filter: a dict in the format of a recording's sidecar.");
}

void bindConfiguration(py::class_<Basestation>& c) {
    c.def(
         "set_gain",
         [](Basestation& b, int channel, int ap, int lfp, bool write) {
             SettingLimits::require(SettingLimits::gainCode(ap));
             SettingLimits::require(SettingLimits::gainCode(lfp));
             b.configure("tolmaren_setGain",
                         [&](Api& a) { return a.tolmaren_setGain(channel, ap, lfp, write); });
         },
         py::arg("channel"), py::arg("ap_gain"), py::arg("lfp_gain"), py::arg("write") = true,
         "Sets one channel's AP and LFP gain codes (0 to 7; code 0 is a gain of 50, 3 of 500). "
         "With write=False only the model changes, to be written by write_base_chain().")
        .def(
            "set_all_ap_gains",
            [](Basestation& b, int code) {
                SettingLimits::require(SettingLimits::gainCode(code));
                b.configure("tolmaren_writeAllAPGains",
                            [&](Api& a) { return a.tolmaren_writeAllAPGains(code); });
            },
            py::arg("code"), "Sets every channel's AP gain code and writes the base chain.")
        .def(
            "set_all_lfp_gains",
            [](Basestation& b, int code) {
                SettingLimits::require(SettingLimits::gainCode(code));
                b.configure("tolmaren_writeAllLFPGains",
                            [&](Api& a) { return a.tolmaren_writeAllLFPGains(code); });
            },
            py::arg("code"), "Sets every channel's LFP gain code and writes the base chain.")
        .def(
            "select_electrode",
            [](Basestation& b, int channel, int bank, bool write) {
                b.configure("tolmaren_selectElectrode", [&](Api& a) {
                    return a.tolmaren_selectElectrode(channel, bank, write);
                });
            },
            py::arg("channel"), py::arg("bank"), py::arg("write") = true,
            "Connects a channel to its electrode in a bank (0 to 3 as far as the shank "
            "reaches; 255 disconnects it). Probe types 2 and 3 only.")
        .def(
            "select_bank",
            [](Basestation& b, int bank) -> std::optional<std::string> {
                using tolmaren_tools::BankSelection;
                const std::string note =
                    b.call([&](Api& a) { return BankSelection::apply(a, bank); });
                b.configure("tolmaren_writeShankRegister", [](Api& a) {
                    return BankSelection::hasShank(a.tolmaren_getOption())
                               ? a.tolmaren_writeShankRegister(true)
                               : 0u;
                });
                if (note.empty()) return std::nullopt;
                return note;
            },
            py::arg("bank"),
            "Connects every channel to its electrode in one bank and writes the shank chain "
            "(as `tolmaren record --bank`). Returns a note naming the channels the bank does not "
            "reach, which are disconnected, or None.")
        .def(
            "set_reference",
            [](Basestation& b, int channel, int index, bool write) {
                SettingLimits::require(SettingLimits::reference(index));
                b.configure("tolmaren_setReference",
                            [&](Api& a) { return a.tolmaren_setReference(channel, index, write); });
            },
            py::arg("channel"), py::arg("index"), py::arg("write") = true,
            "Sets one channel's reference (0 external, 1 tip, 2 and up the internal "
            "references).")
        .def(
            "set_all_references",
            [](Basestation& b, int index) {
                SettingLimits::require(SettingLimits::reference(index));
                b.configure("tolmaren_writeAllReferences", [&](Api& a) {
                    return a.tolmaren_writeAllReferences(static_cast<unsigned char>(index));
                });
            },
            py::arg("index"), "Sets every channel's reference and writes the base chain.")
        .def(
            "set_standby",
            [](Basestation& b, int channel, bool standby, bool write) {
                b.configure("tolmaren_setStdb",
                            [&](Api& a) { return a.tolmaren_setStdb(channel, standby, write); });
            },
            py::arg("channel"), py::arg("standby"), py::arg("write") = true,
            "Puts one channel into standby (True) or out of it.")
        .def(
            "set_all_standby",
            [](Basestation& b, bool standby) {
                b.configure("tolmaren_writeAllStandby",
                            [&](Api& a) { return a.tolmaren_writeAllStandby(standby); });
            },
            py::arg("standby"), "Puts every channel into standby or out of it.")
        .def(
            "set_filter",
            [](Basestation& b, int setting) {
                SettingLimits::require(SettingLimits::filter(setting));
                b.configure("tolmaren_setFilter",
                            [&](Api& a) { return a.tolmaren_setFilter(setting); });
            },
            py::arg("setting"),
            "Sets the high-pass filter (the ASIC's BwHp setting: 0, 1 or 3) and writes the base "
            "chain.")
        .def(
            "write_base_chain",
            [](Basestation& b, bool verify) {
                b.configure("tolmaren_writeBaseRegister",
                            [&](Api& a) { return a.tolmaren_writeBaseRegister(verify); });
            },
            py::arg("verify") = true,
            "Writes the base chain (gains, references, standby, filter) to the probe, reading it "
            "back to compare when verify is True.")
        .def(
            "write_shank_chain",
            [](Basestation& b, bool verify) {
                b.configure("tolmaren_writeShankRegister",
                            [&](Api& a) { return a.tolmaren_writeShankRegister(verify); });
            },
            py::arg("verify") = true, "Writes the shank chain (the electrodes) to the probe.");
}

void bindReading(py::class_<Basestation>& c) {
    c.def(
         "read",
         [](Basestation& b, std::size_t packets, bool raw) {
             auto [data, failure] = b.read(packets, raw);
             if (failure) raiseWith(failure, py::cast(std::move(data)));
             return data;
         },
         py::arg("packets"), py::arg("raw") = false,
         "Reads `packets` electrode packets (2500 a second) from the stream into a Data object "
         "of NumPy arrays: samples in volts at the ADC input, or ADC codes when raw. Blocks that "
         "fail their checks are left out and counted; a packet missing blocks comes with those "
         "that arrived. One reader follows the stream from the first read to the close, so "
         "gaps between two reads count too. After a call that changed the settings the read "
         "begins with a datapath reset (about a second), so that its first sample already has "
         "them: the basestation and the links still hold data of the settings before. "
         "A failure raises tolmaren.Error whose `data` holds "
         "what was read before it; at the end of a played-back recording the Data holds fewer "
         "packets and `ended` is True. The library reads without the GIL; Ctrl-C stops with "
         "KeyboardInterrupt.")
        .def("read_adc", &Basestation::readAdc, py::arg("packets"), py::arg("raw") = false,
             "Reads `packets` ADC packets (13 records each) in data mode 'adc' into an AdcData "
             "object.")
        .def(
            "record",
            [](Basestation& b, const std::string& path, std::optional<double> seconds,
               std::optional<uint64_t> packets, bool force, double stallTimeout, bool reconnect,
               bool noElectrodesOk) {
                if (!(stallTimeout >= 1)) throw py::value_error("stall_timeout is at least 1 s");
                tolmaren_recording::Recorder::Options options;
                options.replace = force;
                options.stallTimeoutSeconds = stallTimeout;
                options.reconnect = reconnect;
                options.allowNoElectrodes = noElectrodesOk;
                const auto summary = b.record(path, packetsToRecord(seconds, packets), options);
                py::object sidecar =
                    PythonJson::parse(tolmaren_recording::Sidecar::toJson(summary.first));
                if (summary.ended != RecordingInfo::End::Completed)
                    raiseWith(std::make_exception_ptr(tolmaren_recording::ToolError(
                                  std::string("the recording ended early (") +
                                  RecordingInfo::endName(summary.ended) + ": " + summary.endDetail +
                                  "); " + path + " and its sidecar keep what was recorded")),
                              sidecar);
                return sidecar;
            },
            py::arg("path"), py::arg("seconds") = py::none(), py::arg("packets") = py::none(),
            py::arg("force") = false, py::arg("stall_timeout") = 10.0, py::arg("reconnect") = false,
            py::arg("no_electrodes_ok") = false,
            "Records the raw stream to `path` for `seconds` (or `packets`, 2500 a second) while "
            "decoding it, with the sidecar path + '.json', as `tolmaren record` does, and returns "
            "the sidecar as a dict. The recording begins with a datapath reset, so that every "
            "sample in it was converted with the settings the sidecar gives. An existing file is "
            "refused unless `force`; a recording in which no channel records an electrode is "
            "refused unless `no_electrodes_ok`. The sidecar is written before the first byte of "
            "data, and whatever ends the recording, the file and the sidecar stay and the "
            "sidecar's recorded.ended says why: a pause of the stream is waited out for "
            "`stall_timeout` seconds; a lost link ends it, or with `reconnect` is opened again "
            "and the recording goes on in path-2, path-3, ... (the name before the extension), "
            "listed in recorded.segment_files; a full disk ends it at once. An early end "
            "raises tolmaren.Error whose `data` is the sidecar; Ctrl-C ends the recording, "
            "keeps it (ended 'stopped') and raises KeyboardInterrupt.");
}

void bindSelfTests(py::module_& module, py::class_<Basestation>& c) {
    py::class_<SelfTests::Outcome>(module, "SelfTestOutcome",
                                   "The verdict of one built-in self test.")
        .def_readonly("name", &SelfTests::Outcome::name, "'4' to '7', '8a', '8b', '9a' or '9b'.")
        .def_readonly("passed", &SelfTests::Outcome::passed)
        .def_readonly("display", &SelfTests::Outcome::display,
                      "The text the test leaves on the basestation's display.")
        .def_readonly("detail", &SelfTests::Outcome::detail, "What the test measured.")
        .def("__repr__", [](const SelfTests::Outcome& o) {
            return "<tolmaren.SelfTestOutcome " + o.name + (o.passed ? " passed" : " FAILED") +
                   " '" + o.display + "' " + o.detail + ">";
        });
    c.def(
        "self_tests",
        [](Basestation& b, const std::vector<unsigned int>& tests, unsigned int toggles,
           double seconds, unsigned int selection) {
            SelfTests::Settings settings;
            settings.toggles = toggles;
            settings.seconds = seconds;
            settings.selection = selection;
            return b.selfTests(tests, settings);
        },
        py::arg("tests") = std::vector<unsigned int>{4, 5, 6, 7, 8, 9}, py::arg("toggles") = 1,
        py::arg("seconds") = 1.0, py::arg("selection") = 0,
        "Runs the built-in self tests in the order given (as `tolmaren selftest`) and returns "
        "a SelfTestOutcome for each (two each for 8 and 9, variants a and b). 4 checks the "
        "basestation (LEDs, memory, data loopback), 5 the serial link (`toggles` heartbeat "
        "toggles, a second each), 6 the PRBS, 7 to 9 the datapath; 6 to 9 run `seconds` before "
        "their results are read; `selection` is test 8's pattern.");
}

void bindRig(py::module_& module) {
    module.def(
        "record_rig",
        [](const std::vector<Basestation*>& stations, const std::string& outdir,
           std::optional<double> seconds, std::optional<uint64_t> packets, bool sync, bool force,
           double stallTimeout, bool noElectrodesOk) {
            if (stations.size() < 2) throw py::value_error("a rig has two or more basestations");
            for (std::size_t k = 0; k < stations.size(); ++k)
                if (std::find(stations.begin(), stations.begin() + k, stations[k]) !=
                    stations.begin() + k)
                    throw py::value_error("a Basestation is given twice");
            if (!(stallTimeout >= 1)) throw py::value_error("stall_timeout is at least 1 s");
            tolmaren_recording::RigRecorder::Options options;
            options.packets = packetsToRecord(seconds, packets);
            options.sync = sync;
            options.recorder.replace = force;
            options.recorder.stallTimeoutSeconds = stallTimeout;
            options.recorder.allowNoElectrodes = noElectrodesOk;
            const auto outcomes = Basestation::recordRig(stations, outdir, options);
            py::object manifest =
                PythonJson::parse(tolmaren_recording::RigManifest::toJson(outcomes, sync, true));
            const RecordingInfo::End worst = tolmaren_recording::RigRecorder::worst(outcomes);
            if (worst != RecordingInfo::End::Completed)
                raiseWith(std::make_exception_ptr(tolmaren_recording::ToolError(
                              std::string("a recording of the rig ended early (") +
                              RecordingInfo::endName(worst) + "); " + outdir +
                              " keeps what was recorded, and rig.json says how each ended")),
                          manifest);
            return manifest;
        },
        py::arg("stations"), py::arg("outdir"), py::arg("seconds") = py::none(),
        py::arg("packets") = py::none(), py::arg("sync") = false, py::arg("force") = false,
        py::arg("stall_timeout") = 10.0, py::arg("no_electrodes_ok") = false,
        "Records every open Basestation of `stations` at once, as `tolmaren record OUTDIR "
        "--address A --address B ...` does: into `outdir`, probe-SERIAL-ADDRESS.bin with its "
        "sidecar for each, and rig.json, the manifest that ties them together; returns the "
        "manifest as a dict. With `sync` the first one leads: the others wait for its "
        "start-trigger pulse, so that blocks recorded at the same instant carry the same "
        "block counter in every file. The other arguments are those of Basestation.record, "
        "for every probe. Each recording keeps its own end: one that ends early costs the "
        "others nothing, and raises tolmaren.Error whose `data` is the manifest once all "
        "have ended; Ctrl-C stops them all, keeps what they recorded and raises "
        "KeyboardInterrupt.");
}

} // namespace

void bindBasestation(py::module_& module) {
    py::class_<Basestation> c(
        module, "Basestation",
        "A basestation with its probe. As a context manager it opens the probe on entry and "
        "closes it on exit:\n\n"
        "    with tolmaren.Basestation() as station:\n"
        "        data = station.read(2500)   # one second\n\n"
        "Every failing call raises tolmaren.Error with the library's status code.");
    c.def(py::init<unsigned char, std::optional<std::string>, const std::optional<std::string>&,
                   bool>(),
          py::arg("setting") = 0, py::arg("playback") = py::none(), py::arg("address") = py::none(),
          py::arg("low_latency") = false,
          "`setting` goes unchanged to the basestation's open_setting register. `playback`: a "
          "raw recording to open instead of a basestation; read() then decodes the file with "
          "the library's decoder, and the calls that would reach the headstage do nothing. "
          "`address`: the basestation's IPv4 address, such as '192.168.0.2' (default: the "
          "environment variable TOLMAREN_BASESTATION_ADDRESS, else the library's default, "
          "127.0.0.1 where a Simulator listens); ValueError when it is not such an address. "
          "`low_latency`: read() gets each live packet as soon as its bytes have arrived (for "
          "closed-loop experiments), rather than a MiB (57 ms of the stream) at a time; what "
          "is read and recorded is the same.")
        .def("open", &Basestation::open,
             "Opens the basestation and brings the probe to recording: both links, the serial "
             "link and headstage, the identity from the EEPROM, default chains and calibration.")
        .def("close", &Basestation::close, "Closes the probe and the links.")
        .def_property_readonly(
            "address",
            [](Basestation& b) {
                return b.call([](Api& a) { return a.tolmaren_getBasestationAddress(); });
            },
            "The basestation's IPv4 address, which open() connects to.")
        .def_property_readonly(
            "is_open",
            [](Basestation& b) { return b.call([](Api& a) { return a.tolmaren_isConnected(); }); })
        .def("__enter__",
             [](Basestation& b) -> Basestation& {
                 b.open();
                 return b;
             })
        .def("__exit__", [](Basestation& b, py::args) {
            b.close();
            return false;
        });
    bindIdentity(c);
    bindState(c);
    bindConfiguration(c);
    bindReading(c);
    bindSelfTests(module, c);
    bindCalibrations(c);
    bindRig(module);
}
