#include "ctl/CtlApp.h"

#include "bridge/MqttBridge.h"
#include "ctl/CtlSession.h"
#include "ctl/FieldAddress.h"
#include "ctl/LinkKeeper.h"
#include "ctl/StoreReport.h"
#include "link/ConnectResult.h"
#include "link/EqImport.h"
#include "model/AtomicFile.h"
#include "model/EqFit.h"
#include "model/ModeFile.h"
#include "model/ParameterStore.h"
#include "remote/RemoteApi.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteSnapshot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <utility>
#include <charconv>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <optional>
#include <thread>
#include <vector>

namespace orvex::ctl {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kDefaultTimeout{30000};
constexpr std::chrono::milliseconds kLevelPollPeriod{500};
constexpr const char* kDefaultListen = "127.0.0.1:8080";

const char kUsage[] =
    R"(Usage: orvexctl [--connect HOST:PORT | --usb] [--json] [--timeout MS] [--retry N] COMMAND ...

Remote control and preset tool for the processor, on the editor's own link code: every
message it sends is the one the editor sends for the same change.

Where the processor is (commands that need none ignore both):
  --connect HOST:PORT   through a network host over TCP (the port defaults to 30303)
  --usb                 the first processor found on USB
Other options:
  --json                print results as JSON
  --timeout MS          longest wait for connecting, a synchronisation or a reply
                        (default 30000)
  --retry N             when the processor cannot be reached, the host is busy or the
                        link drops before the command is done, try again up to N times,
                        after 1, 2, 4, 8, 15 and then every 30 s (default 0)
  --help                this text

Commands:
  identify              module name, command-set version, MCU and DSP versions
  get NAME              read everything from the processor, print one field
  set NAME VALUE        change one field the way the editor does; waits for the reply
  dump                  read everything, print the whole store
  load FILE.kvom        read everything, load the mode file, write everything; a file whose
                        name starts with m1..m4 is then stored into that mode memory
  save FILE.kvom        read everything, save it as a mode file (version 29)
  mode load|save|select|reset N
                        the processor's mode memories M1..M4 (N = 1..4); load and reset
                        wait until the processor's new parameters are read back
  eq export PATH [FILE] the path's free bands as a filter list (to FILE or the output)
  eq import PATH FILE   put a filter list into the path's free bands (bands 1..9 of an output;
                        the crossover stays); the bands the list does not use are turned off.
                        A file with any bad line is refused and nothing is sent
  eq fit PATH MEASUREMENT [--target FILE] [--range LO-HI] [--max-boost DB] [--apply | --out FILE]
                        fit the path's free bands so that the measured response (frequency and
                        level columns) follows the target (flat by default) between LO and HI Hz
                        (default 40-10000), boost at most DB (default 6); prints the filter list,
                        writes it to FILE or applies it; the residual goes to the error output
  file show FILE.kvom   print a mode file's fields (no processor needed)
  file import FILE.kvom PATH FILTERS
                        put a filter list into a path of a mode file, as eq import does
                        (no processor needed; the file is rewritten as version 29)
  file diff A.kvom B.kvom
                        print the fields and bands that differ, or that the files are
                        equal (no processor needed)
  levels [--count N]    every 500 ms: mic 1-4, music L and R, the input format; N lines,
                        or until interrupted
  serve [--listen ADDR:PORT] [--pin NNNNNN]
                        the phone remote: holds the link (reconnecting when it drops) and serves
                        the room's volumes, mutes, music source, modes, scenes and plugs to phones'
                        browsers
                        until interrupted; listens on 127.0.0.1:8080 unless told otherwise (0.0.0.0
                        for every network the computer is on) and prints the address and the PIN a
                        phone pairs with (a new random one at each start without --pin)
  bridge --mqtt HOST[:PORT] [--room NAME] [--username U --password-file FILE] [--cafile FILE]
         [--discovery-prefix PREFIX]
                        the home-automation bridge: holds the link (reconnecting when it drops)
                        and the broker connection (port 1883, 8883 with --cafile), publishes the
                        room's state under orvex/ROOM/ with the entity descriptions a home-automation
                        server discovers (under homeassistant/ unless told otherwise), and takes
                        commands on orvex/ROOM/set/...; the room defaults to the processor's name.
                        The password is the first line of FILE, never an argument

Names (in the store's own units: percent, ms, dB, Hz, 0/1):
  echoLevelA, micMasterVolume, musicSource, ...   a field
  outDelayMs[2], micVolume[0], ...                one element of an array (arrays of 4 are
                                                  mic inputs, arrays of 8 output channels)
  eq.PATH[BAND]                                   an equaliser band; PATH is micA, micB, echoA,
                                                  echoB, reverbA, reverbB, music, out1..out8 or
                                                  musicLow; its value is GAIN_DB,FREQ_HZ,Q,TYPE
                                                  (type 0 off, 1 peaking, 2 low-pass, 3 high-pass,
                                                  4 low shelf, 5 high shelf, 6..21 crossover
                                                  sections on outputs)
  get also takes a whole array or path (micVolume, eq.music) and the names dump prints
  (identity.module, deviceMode, positionGainTable[3], roomRecord.width, ...); deviceMode
  counts the memories 1..4, as the mode commands do.
  Values outside a field's range are refused and nothing is sent.

Exit codes: 0 done, 1 usage, 2 connection or link, 3 wrong processor, 4 file.

Examples:
  orvexctl --connect 192.168.1.50 set musicSource 3
  orvexctl --usb mode load 2
  orvexctl --connect 127.0.0.1:30303 --json dump > now.json
  orvexctl file diff tv.kvom movie.kvom
)";

struct Options {
    std::optional<ConnectTarget> target;
    bool json = false;
    std::chrono::milliseconds timeout = kDefaultTimeout;
    std::optional<long> count;
    long retry = 0;
    bool help = false;
    std::vector<std::string> words;
    // eq fit
    std::optional<std::string> fitTarget;
    std::optional<std::string> fitOut;
    std::optional<std::string> fitRange;
    std::optional<std::string> fitMaxBoost;
    bool fitApply = false;
    // serve
    std::optional<std::string> listen;
    std::optional<std::string> pin;
    // bridge
    std::optional<std::string> mqtt;
    std::optional<std::string> room;
    std::optional<std::string> username;
    std::optional<std::string> passwordFile;
    std::optional<std::string> cafile;
    std::optional<std::string> discoveryPrefix;
};

Failure Usage(std::string message) {
    return Failure{kExitUsage, std::move(message)};
}

bool ParseLong(std::string_view text, long lo, long hi, long& out) {
    long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < lo || value > hi)
        return false;
    out = value;
    return true;
}

Outcome ParseConnect(std::string_view text, ConnectTarget& target) {
    const size_t colon = text.rfind(':');
    target.usb = false;
    target.host = std::string(text.substr(0, colon));
    if (colon != std::string_view::npos) {
        long port = 0;
        if (!ParseLong(text.substr(colon + 1), 1, 65535, port))
            return Usage("port '" + std::string(text.substr(colon + 1)) + "' must be a number from 1 to 65535");
        target.port = static_cast<uint16_t>(port);
    }
    if (target.host.empty())
        return Usage("--connect needs HOST:PORT");
    return std::nullopt;
}

Outcome ParseOptions(std::span<const std::string> args, Options& options) {
    bool usb = false;
    bool network = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--connect") {
            if (!hasValue)
                return Usage("--connect needs HOST:PORT");
            ConnectTarget target;
            if (Outcome failure = ParseConnect(args[++i], target))
                return failure;
            options.target = target;
            network = true;
        } else if (arg == "--usb") {
            options.target = ConnectTarget{true, {}, kDefaultNetworkPort};
            usb = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--timeout") {
            long ms = 0;
            if (!hasValue || !ParseLong(args[++i], 1, 3600000, ms))
                return Usage("--timeout needs a number of milliseconds from 1 to 3600000");
            options.timeout = std::chrono::milliseconds(ms);
        } else if (arg == "--retry") {
            if (!hasValue || !ParseLong(args[++i], 0, 1000, options.retry))
                return Usage("--retry needs a number from 0 to 1000");
        } else if (arg == "--count") {
            long count = 0;
            if (!hasValue || !ParseLong(args[++i], 1, 100000000, count))
                return Usage("--count needs a number from 1 to 100000000");
            options.count = count;
        } else if (arg == "--listen" || arg == "--pin") {
            if (!hasValue)
                return Usage(arg + (arg == "--pin" ? " needs six digits" : " needs ADDR:PORT"));
            (arg == "--pin" ? options.pin : options.listen) = args[++i];
        } else if (arg == "--password") {
            return Usage("a password is never taken on the command line: put it in a file for --password-file");
        } else if (arg == "--mqtt" || arg == "--room" || arg == "--username" || arg == "--password-file" ||
                   arg == "--cafile" || arg == "--discovery-prefix") {
            if (!hasValue)
                return Usage(arg + " needs a value");
            std::optional<std::string>& slot = arg == "--mqtt"            ? options.mqtt
                                               : arg == "--room"          ? options.room
                                               : arg == "--username"      ? options.username
                                               : arg == "--password-file" ? options.passwordFile
                                               : arg == "--cafile"        ? options.cafile
                                                                          : options.discoveryPrefix;
            slot = args[++i];
        } else if (arg == "--target" || arg == "--range" || arg == "--max-boost" || arg == "--out") {
            if (!hasValue)
                return Usage(arg + " needs a value");
            std::optional<std::string>& slot = arg == "--target"  ? options.fitTarget
                                               : arg == "--range" ? options.fitRange
                                               : arg == "--out"   ? options.fitOut
                                                                  : options.fitMaxBoost;
            slot = args[++i];
        } else if (arg == "--apply") {
            options.fitApply = true;
        } else if (arg.starts_with("--")) {
            return Usage("unknown option '" + arg + "' (see --help)");
        } else {
            options.words.push_back(arg);
        }
    }
    if (usb && network)
        return Usage("use either --connect or --usb, not both");
    return std::nullopt;
}

// Reads a mode file and loads it into `store`; the bytes and the version's layout come back for
// the caller. Every failure is a file failure (exit 4).
Outcome ReadModeFile(const std::string& path, ParameterStore& store, std::vector<uint8_t>* bytesOut = nullptr,
                     ModeFileLayout* layoutOut = nullptr) {
    std::vector<uint8_t> bytes;
    ModeFileResult result = ReadModeFileBytes(path, bytes);
    if (result.ok())
        result = LoadModeFileBytes(bytes, store);
    switch (result.status) {
    case ModeFileStatus::Ok:
        break;
    case ModeFileStatus::NotModeFile:
        return Failure{kExitFile, path + " is not a mode file"};
    case ModeFileStatus::UnsupportedVersion:
        return Failure{kExitFile, "mode file version " + std::to_string(result.version) + " is not supported"};
    case ModeFileStatus::Truncated:
        return Failure{kExitFile, "mode file " + path + " is truncated: version " + std::to_string(result.version) +
                                      " needs " + std::to_string(ModeFileLayoutFor(result.version)->Size()) +
                                      " bytes, it has " + std::to_string(bytes.size())};
    case ModeFileStatus::CannotOpen:
    case ModeFileStatus::CannotWrite:
        return Failure{kExitFile, "cannot open " + path + ": " + std::strerror(result.errorCode)};
    }
    if (bytesOut != nullptr)
        *bytesOut = std::move(bytes);
    if (layoutOut != nullptr)
        *layoutOut = *ModeFileLayoutFor(result.version);
    return std::nullopt;
}

// The names a report of a processor holds, for `get` to check a name before it connects.
bool IsReportName(std::string_view name) {
    ParameterStore scratch;
    for (const ReportEntry& entry : StoreEntries(scratch, ReportContent{}))
        if (entry.name == name || entry.name.starts_with(std::string(name) + "[") ||
            entry.name.starts_with(std::string(name) + "."))
            return true;
    return false;
}

class Runner {
public:
    Runner(const Options& options, std::ostream& out, std::ostream& err, const CtlEnvironment& env)
        : m_options(options), m_out(out), m_err(err), m_env(env) {
        m_store.ResetStoreDefaults();
    }

    Outcome Run() {
        const std::vector<std::string>& w = m_options.words;
        if (w.empty())
            return Usage("no command given (see --help)");
        const std::string& command = w[0];
        if (m_options.count && command != "levels")
            return Usage("--count belongs to the levels command");
        if ((m_options.listen || m_options.pin) && command != "serve")
            return Usage("--listen and --pin belong to the serve command");
        if ((m_options.mqtt || m_options.room || m_options.username || m_options.passwordFile || m_options.cafile ||
             m_options.discoveryPrefix) &&
            command != "bridge")
            return Usage("--mqtt, --room, --username, --password-file, --cafile and --discovery-prefix belong to the "
                         "bridge command");
        if (command == "identify")
            return Arity(0) ? Arity(0) : Identify();
        if (command == "get")
            return Arity(1) ? Arity(1) : Get(w[1]);
        if (command == "set")
            return Arity(2) ? Arity(2) : Set(w[1], w[2]);
        if (command == "dump")
            return Arity(0) ? Arity(0) : Dump();
        if (command == "load")
            return Arity(1) ? Arity(1) : Load(w[1]);
        if (command == "save")
            return Arity(1) ? Arity(1) : Save(w[1]);
        if (command == "mode")
            return Arity(2) ? Arity(2) : Mode(w[1], w[2]);
        if (command == "levels")
            return Arity(0) ? Arity(0) : Levels();
        if (command == "serve")
            return Arity(0) ? Arity(0) : Serve();
        if (command == "bridge")
            return Arity(0) ? Arity(0) : Bridge();
        if (command == "eq") {
            if (w.size() >= 2 && w[1] == "export")
                return w.size() == 3 || w.size() == 4 ? EqExport(w[2], w.size() == 4 ? w[3] : std::string())
                                                      : Usage("eq export takes PATH [FILE]");
            if (w.size() >= 2 && w[1] == "import")
                return w.size() == 4 ? EqImport(w[2], w[3]) : Usage("eq import takes PATH FILE");
            if (w.size() >= 2 && w[1] == "fit")
                return w.size() == 4 ? EqFit(w[2], w[3]) : Usage("eq fit takes PATH MEASUREMENT");
            return Usage("eq needs export, import or fit (see --help)");
        }
        if (command == "file") {
            if (w.size() >= 2 && w[1] == "show")
                return w.size() == 3 ? FileShow(w[2]) : Usage("file show takes one FILE.kvom");
            if (w.size() >= 2 && w[1] == "diff")
                return w.size() == 4 ? FileDiff(w[2], w[3]) : Usage("file diff takes two files");
            if (w.size() >= 2 && w[1] == "import")
                return w.size() == 5 ? FileImport(w[2], w[3], w[4]) : Usage("file import takes FILE.kvom PATH FILTERS");
            return Usage("file needs show, diff or import (see --help)");
        }
        return Usage("unknown command '" + command + "' (see --help)");
    }

private:
    Outcome Arity(size_t n) const {
        if (m_options.words.size() != n + 1)
            return Usage(m_options.words[0] + " takes " + (n == 0 ? std::string("no arguments") : std::to_string(n)) +
                         (n == 1  ? " argument"
                          : n > 1 ? " arguments"
                                  : "") +
                         " (see --help)");
        return std::nullopt;
    }

    Outcome Open() {
        if (!m_options.target)
            return Usage("no processor given: use --connect HOST:PORT or --usb");
        return WithRetries([this] { return OpenOnce(); });
    }

    Outcome OpenAndReadAll() {
        if (!m_options.target)
            return Usage("no processor given: use --connect HOST:PORT or --usb");
        return WithRetries([this]() -> Outcome {
            if (Outcome failure = OpenOnce())
                return failure;
            return m_session->ReadAll();
        });
    }

    Outcome OpenOnce() {
        m_session.reset(); // an earlier attempt's link says goodbye first
        m_session = std::make_unique<CtlSession>(m_store, *m_options.target, m_options.timeout, m_env.hid);
        return m_session->Connect();
    }

    // Runs `attempt` again after a link failure (refused, busy, dropped, silent) while --retry allows,
    // waiting as the editor does between its reconnects. Other failures end at once.
    template <class F>
    Outcome WithRetries(F attempt) {
        for (long n = 0;; ++n) {
            Outcome outcome = attempt();
            if (!outcome || outcome->exitCode != kExitLink || n >= m_options.retry)
                return outcome;
            const int delayMs = kReconnectDelaysMs[std::min(static_cast<size_t>(n), kReconnectDelaysMs.size() - 1)];
            m_err << outcome->message << "; trying again in " << delayMs / 1000 << " s\n";
            m_err.flush();
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
            while (std::chrono::steady_clock::now() < until) {
                if (m_env.stop != nullptr && m_env.stop->load())
                    return outcome;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }

    void PrintIdentity() {
        const DeviceIdentity identity = m_store.Identity();
        if (m_options.json) {
            m_out << "{\"module\":" << JsonString(identity.moduleName) << ",\"mcu\":" << JsonString(identity.mcuVersion)
                  << ",\"dsp\":" << JsonString(identity.dspVersion)
                  << ",\"version\":" << int{identity.commandSetVersion} << "}\n";
            return;
        }
        m_out << "module " << identity.moduleName << "\nversion " << int{identity.commandSetVersion} << "\nmcu "
              << identity.mcuVersion << "\ndsp " << identity.dspVersion << '\n';
    }

    // The entries a name selects: the one of that name, or all elements of an array, a path or a
    // group ("micVolume", "eq.music", "identity").
    void PrintSelected(const std::vector<ReportEntry>& entries, const std::string& name) {
        std::vector<const ReportEntry*> chosen;
        for (const ReportEntry& entry : entries)
            if (entry.name == name)
                chosen.push_back(&entry);
        if (chosen.empty())
            for (const ReportEntry& entry : entries)
                if (entry.name.starts_with(name + "[") || entry.name.starts_with(name + "."))
                    chosen.push_back(&entry);
        if (chosen.size() == 1) {
            m_out << (m_options.json ? chosen[0]->json : chosen[0]->text) << '\n';
            return;
        }
        if (m_options.json) {
            m_out << '{';
            for (size_t i = 0; i < chosen.size(); ++i)
                m_out << (i == 0 ? "" : ",") << JsonString(chosen[i]->name) << ':' << chosen[i]->json;
            m_out << "}\n";
            return;
        }
        for (const ReportEntry* entry : chosen)
            m_out << entry->name << ' ' << entry->text << '\n';
    }

    Outcome Identify() {
        if (Outcome failure = Open())
            return failure;
        Outcome outcome = m_session->Identify();
        if (!outcome || outcome->exitCode == kExitProcessor)
            PrintIdentity();
        return outcome;
    }

    Outcome Get(const std::string& name) {
        std::string error;
        const std::optional<FieldTarget> target = ParseTarget(name, error);
        if (!target)
            return Usage(error);
        if (target->kind == FieldTarget::Kind::Other && !IsReportName(name))
            return Usage("unknown field '" + name + "'");
        if (Outcome failure = OpenAndReadAll())
            return failure;
        PrintSelected(StoreEntries(m_store, ReportContent{}), name);
        return std::nullopt;
    }

    Outcome Set(const std::string& name, const std::string& value) {
        std::string error;
        const std::optional<FieldTarget> target = ParseTarget(name, error);
        if (!target)
            return Usage(error);
        std::optional<uint32_t> word;
        std::optional<EqBand> band;
        int slot = -1;
        int record = -1;
        switch (target->kind) {
        case FieldTarget::Kind::Other:
            if (IsReportName(name))
                return Usage("'" + name + "' cannot be set");
            return Usage("unknown field '" + name + "'");
        case FieldTarget::Kind::Slot: {
            const StoreField& field = *target->field;
            if (field.count > 1 && target->index < 0)
                return Usage("field '" + name + "' is an array: set " + name + "[0].." + name + "[" +
                             std::to_string(field.count - 1) + "]");
            if (field.slot == fields::micBassBoostOnCopy.slot)
                return Usage("micBassBoostOnCopy follows micBassBoostOn: set micBassBoostOn");
            word = ParseFieldValue(field, target->index, name, value, error);
            if (!word)
                return Usage(error);
            slot = field.slot + std::max(0, target->index);
            break;
        }
        case FieldTarget::Kind::Band: {
            const int count = EqPathBandCount(*target->path);
            if (target->band < 0)
                return Usage("give a band: " + name + "[0].." + name + "[" + std::to_string(count - 1) + "]");
            band = ParseBandValue(*target->path, name, value, error);
            if (!band)
                return Usage(error);
            record = EqPathRecord(*target->path, target->band);
            break;
        }
        }

        // The editor is always synchronised before it edits: setters that send more than their own
        // value (compressor records, band splits, the position table) send what the store holds.
        if (Outcome failure = OpenAndReadAll())
            return failure;
        if (word)
            m_session->Link().Commands().SetSlotWord(slot, *word);
        else
            m_session->Link().Eq().SetBand(record, *band);
        if (Outcome failure = m_session->Settle())
            return failure;
        PrintSelected(StoreEntries(m_store, ReportContent{}), name);
        return std::nullopt;
    }

    Outcome Dump() {
        if (Outcome failure = OpenAndReadAll())
            return failure;
        if (m_options.json)
            WriteStoreJson(m_out, m_store, ReportContent{});
        else
            WriteStoreText(m_out, StoreEntries(m_store, ReportContent{}));
        return std::nullopt;
    }

    Outcome Load(const std::string& path) {
        // The file is checked before anything is sent, and loaded from the bytes checked.
        std::vector<uint8_t> bytes;
        {
            ParameterStore scratch;
            if (Outcome failure = ReadModeFile(path, scratch, &bytes))
                return failure;
        }
        // Write-all depends on the processor's machine settings, and the blocks an older file lacks
        // keep the processor's values: read everything first, as the editor always has.
        if (Outcome failure = OpenAndReadAll())
            return failure;
        LoadModeFileBytes(bytes, m_store);
        if (Outcome failure = m_session->WriteAll())
            return failure;
        const int pending = PendingModeFromFileTitle(std::filesystem::path(path).stem().string());
        if (pending >= 0) {
            m_session->Link().Sync().StorePendingMode(pending);
            m_store.SetDeviceMode(pending);
        }
        return m_session->Settle();
    }

    Outcome Save(const std::string& path) {
        // A target that cannot be written is found before the processor is asked for anything.
        std::filesystem::path parent = std::filesystem::path(path).parent_path();
        if (parent.empty())
            parent = ".";
        if (::access(parent.c_str(), W_OK) != 0)
            return Failure{kExitFile, "cannot write " + path + ": " + std::strerror(errno)};
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec))
            return Failure{kExitFile, "cannot write " + path + ": " + std::strerror(EISDIR)};
        if (Outcome failure = OpenAndReadAll())
            return failure;
        const ModeFileResult result = SaveModeFile(path, m_store);
        if (!result.ok())
            return Failure{kExitFile, "cannot write " + path + ": " + std::strerror(result.errorCode)};
        return std::nullopt;
    }

    Outcome Mode(const std::string& action, const std::string& number) {
        long n = 0;
        if (action != "load" && action != "save" && action != "select" && action != "reset")
            return Usage("unknown mode action '" + action + "' (load, save, select or reset)");
        if (!ParseLong(number, 1, kDeviceModeCount, n))
            return Usage("mode number '" + number + "' must be 1..4");
        const int mode = static_cast<int>(n) - 1;
        if (Outcome failure = Open())
            return failure;
        if (Outcome failure = m_session->Identify())
            return failure;
        DeviceLink& link = m_session->Link();
        if (action == "load" || action == "reset") {
            // The processor answers 05 or 06 and the reply starts read-all, as in the editor.
            m_session->Events().ClearSyncDone();
            if (action == "load") {
                link.LoadDeviceMode(mode);
            } else {
                m_store.SetDeviceMode(mode);
                link.Commands().ResetDeviceMode(mode);
            }
            return m_session->WaitForTriggeredReadAll();
        }
        if (action == "save") {
            link.SaveDeviceMode(mode);
        } else {
            m_store.SetDeviceMode(mode);
            link.Commands().SelectDeviceMode(mode);
        }
        return m_session->Settle();
    }

    Outcome Levels() {
        if (Outcome failure = Open())
            return failure;
        if (Outcome failure = m_session->Identify())
            return failure;
        std::string format = "-"; // an index the processor does not define keeps the last name
        const auto stopped = [&] { return m_env.stop != nullptr && m_env.stop->load(); };
        for (long line = 0; !m_options.count || line < *m_options.count; ++line) {
            if (stopped())
                break;
            const auto next = std::chrono::steady_clock::now() + kLevelPollPeriod;
            m_session->Link().Commands().RequestLevels();
            if (Outcome failure = m_session->Settle())
                return failure;
            const LevelRecord levels = m_store.GetLevelRecord();
            if (const char* name = InputFormatName(levels[7] & 0x0F))
                format = name;
            if (m_options.json) {
                m_out << "{\"mic\":[" << int{levels[0]} << ',' << int{levels[1]} << ',' << int{levels[2]} << ','
                      << int{levels[3]} << "],\"music\":[" << int{levels[4]} << ',' << int{levels[5]}
                      << "],\"format\":" << JsonString(format) << "}\n";
            } else {
                m_out << "mic " << int{levels[0]} << ' ' << int{levels[1]} << ' ' << int{levels[2]} << ' '
                      << int{levels[3]} << "  music " << int{levels[4]} << ' ' << int{levels[5]} << "  " << format
                      << '\n';
            }
            m_out.flush();
            if (!m_out)
                break; // the reader went away (a closed pipe)
            if (m_options.count && line + 1 == *m_options.count)
                break;
            while (std::chrono::steady_clock::now() < next && !stopped())
                std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    Outcome Serve() {
        if (!m_options.target)
            return Usage("no processor given: use --connect HOST:PORT or --usb");
        const std::string listen = m_options.listen.value_or(kDefaultListen);
        const size_t colon = listen.rfind(':');
        long port = 0;
        if (colon == std::string::npos || colon == 0 ||
            !ParseLong(std::string_view(listen).substr(colon + 1), 0, 65535, port))
            return Usage("--listen needs ADDR:PORT, the port a number from 0 to 65535");
        const std::string address = listen.substr(0, colon);
        std::string pin = m_options.pin.value_or(MakeRemotePin());
        if (pin.size() != 6 || !std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return Usage("--pin needs six digits");

        SnapshotBoard board;
        LinkKeeper keeper(m_store, *m_options.target, m_options.timeout, m_env.hid, board,
                          [this](const std::string& line) {
                              m_err << line << '\n';
                              m_err.flush();
                          });
        RemoteApi api(pin, keeper, board);
        RemoteServer server(api, board);
        SmartHomeTables noTables; // what the state shows of the plugs while there is no link
        board.Publish(TakeRemoteSnapshot(m_store, noTables, false));
        std::string error;
        if (!server.Start(address, static_cast<uint16_t>(port), &error))
            return Usage(error);
        m_err << "phone remote at http://" << address << ':' << server.Port() << "/  PIN " << pin << '\n';
        m_err.flush();
        if (m_env.onListening)
            m_env.onListening(server.Port());
        Outcome outcome = keeper.Run(m_env.stop);
        server.Stop();
        board.Close();
        return outcome;
    }

    Outcome Bridge() {
        if (!m_options.target)
            return Usage("no processor given: use --connect HOST:PORT or --usb");
        if (!m_options.mqtt)
            return Usage("bridge needs --mqtt HOST[:PORT]");
        bridge::BridgeOptions options;
        std::string error;
        if (!bridge::ParseBrokerAddress(*m_options.mqtt, m_options.cafile.has_value(), options.host, options.port,
                                        &error))
            return Usage("--mqtt needs HOST[:PORT]: " + error);
        if (m_options.passwordFile && !m_options.username)
            return Usage("--password-file needs --username");
        if (m_options.username)
            options.username = *m_options.username;
        if (m_options.passwordFile) {
            bool othersCanRead = false;
            if (!bridge::ReadBrokerPassword(*m_options.passwordFile, options.password, &error, &othersCanRead))
                return Failure{kExitFile, error};
            if (othersCanRead)
                m_err << "warning: every user of this computer can read " << *m_options.passwordFile << '\n';
        }
        if (m_options.cafile) {
            if (::access(m_options.cafile->c_str(), R_OK) != 0)
                return Failure{kExitFile, "cannot open " + *m_options.cafile + ": " + std::strerror(errno)};
            options.cafile = *m_options.cafile;
        }
        if (m_options.discoveryPrefix) {
            const std::string& prefix = *m_options.discoveryPrefix;
            if (prefix.empty() || prefix.find_first_of("+#") != std::string::npos || prefix.front() == '/' ||
                prefix.back() == '/')
                return Usage("--discovery-prefix needs a topic without wildcards, such as homeassistant");
            options.device.prefix = prefix;
        }
        if (m_options.room) {
            options.device.room = bridge::TopicRoom(*m_options.room);
            if (options.device.room.empty())
                return Usage("--room needs a name that is more than wildcards and slashes");
        }

        // The link's messages and the bridge's come from different threads: one line at a time.
        std::mutex logMutex;
        const auto log = [&](const std::string& line) {
            std::lock_guard lock(logMutex);
            m_err << line << '\n';
            m_err.flush();
        };
        SnapshotBoard board;
        SmartHomeTables noTables;
        board.Publish(TakeRemoteSnapshot(m_store, noTables, false));
        LinkKeeper keeper(m_store, *m_options.target, m_options.timeout, m_env.hid, board, log);
        std::unique_ptr<bridge::MqttBridge> mqttBridge;
        const auto start = [&]() -> Outcome {
            auto candidate = std::make_unique<bridge::MqttBridge>(options, board, keeper, log);
            std::string reason;
            if (!candidate->Start(&reason))
                return Failure{kExitLink, reason};
            mqttBridge = std::move(candidate);
            return std::nullopt;
        };
        if (!options.device.room.empty())
            if (Outcome failure = start())
                return failure;
        // Without --room the room is the processor's name, known once the link has read it.
        keeper.OnConnected([&] {
            const std::string module = m_store.Identity().moduleName;
            if (!mqttBridge) {
                options.device.room = bridge::TopicRoom(module);
                if (options.device.room.empty())
                    options.device.room = "processor";
                options.device.module = module;
                if (Outcome failure = start())
                    log(failure->message);
            }
            if (mqttBridge)
                mqttBridge->SetModule(module);
        });
        Outcome outcome = keeper.Run(m_env.stop);
        if (mqttBridge)
            mqttBridge->Stop();
        board.Close();
        return outcome;
    }

    // An equaliser path that filter lists address (every one but the music low-frequency filter).
    static Outcome FilterPath(const std::string& name, int& identity) {
        const EqPathName* path = FindEqPath(name);
        if (path == nullptr || path->identity < 0)
            return Usage("unknown equaliser path '" + name +
                         "' (micA, micB, echoA, echoB, reverbA, reverbB, music, "
                         "out1..out8)");
        identity = path->identity;
        return std::nullopt;
    }

    static Outcome ReadText(const std::string& path, std::string& text) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return Failure{kExitFile, "cannot open " + path + ": " + std::strerror(errno)};
        std::ostringstream buffer;
        buffer << in.rdbuf();
        text = buffer.str();
        return std::nullopt;
    }

    static Outcome WriteText(const std::string& path, const std::string& text) {
        const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        if (const int error = WriteFileAtomically(path, bytes))
            return Failure{kExitFile, "cannot write " + path + ": " + std::strerror(error)};
        return std::nullopt;
    }

    static Failure BadLines(const std::string& path, const std::vector<FilterTextError>& errors) {
        std::string message = path + " cannot be used:";
        for (const FilterTextError& e : errors)
            message += "\n  " + FormatFilterTextError(e);
        return Failure{kExitFile, message};
    }

    Outcome EqExport(const std::string& pathName, const std::string& file) {
        int identity = -1;
        if (Outcome failure = FilterPath(pathName, identity))
            return failure;
        if (Outcome failure = OpenAndReadAll())
            return failure;
        const std::string text = ExportFilterText(m_store, identity);
        if (file.empty()) {
            m_out << text;
            return std::nullopt;
        }
        return WriteText(file, text);
    }

    Outcome EqImport(const std::string& pathName, const std::string& file) {
        int identity = -1;
        if (Outcome failure = FilterPath(pathName, identity))
            return failure;
        std::string text;
        if (Outcome failure = ReadText(file, text))
            return failure;
        // A bad file is refused before the processor is asked for anything.
        std::vector<FilterTextError> errors;
        if (!PlanFilterTextImport(m_store, identity, text, errors))
            return BadLines(file, errors);
        if (Outcome failure = OpenAndReadAll())
            return failure;
        errors = ImportFilterText(m_session->Link().Eq(), m_store, identity, text);
        if (!errors.empty())
            return BadLines(file, errors);
        return m_session->Settle();
    }

    static Outcome ReadResponse(const std::string& path, Measurement& response) {
        std::string text;
        if (Outcome failure = ReadText(path, text))
            return failure;
        MeasurementParseResult parsed = ParseMeasurementText(text);
        if (!parsed.Ok())
            return BadLines(path, parsed.errors);
        response = std::move(parsed.response);
        return std::nullopt;
    }

    Outcome EqFit(const std::string& pathName, const std::string& file) {
        int identity = -1;
        if (Outcome failure = FilterPath(pathName, identity))
            return failure;
        if (m_options.fitApply && m_options.fitOut)
            return Usage("use either --apply or --out, not both");
        FitOptions fit;
        fit.bandCount = FreeEqBandCount(identity);
        if (m_options.fitRange) {
            const std::string& range = *m_options.fitRange;
            const size_t dash = range.find('-');
            long lo = 0, hi = 0;
            if (dash == std::string::npos ||
                !ParseLong(std::string_view(range).substr(0, dash), kMinBandFreqHz, kMaxBandFreqHz, lo) ||
                !ParseLong(std::string_view(range).substr(dash + 1), kMinBandFreqHz, kMaxBandFreqHz, hi) || lo >= hi)
                return Usage("--range needs LO-HI in hertz, 20 <= LO < HI <= 20000");
            fit.loHz = static_cast<double>(lo);
            fit.hiHz = static_cast<double>(hi);
        }
        if (m_options.fitMaxBoost) {
            char* end = nullptr;
            const double boost = std::strtod(m_options.fitMaxBoost->c_str(), &end);
            if (end == m_options.fitMaxBoost->c_str() || *end != '\0' || !(boost >= 0.0) || boost > kMaxBandGainDb)
                return Usage("--max-boost needs a level from 0 to 15 dB");
            fit.maxBoostDb = boost;
        }
        Measurement measurement;
        if (Outcome failure = ReadResponse(file, measurement))
            return failure;
        Measurement target;
        if (m_options.fitTarget) {
            if (Outcome failure = ReadResponse(*m_options.fitTarget, target))
                return failure;
            target = NormaliseMeasurement(target);
        }
        // Fitting for the processor, the bands a fit leaves alone (an output's crossover) are part of
        // what it starts from; offline they are not known.
        std::vector<EqBand> kept;
        if (m_options.fitApply) {
            if (Outcome failure = OpenAndReadAll())
                return failure;
            kept = FixedEqBands(m_store, identity);
        }
        const FitResult result = FitEqualiser(PredictResponse(NormaliseMeasurement(measurement), kept), target, fit);
        if (!result.ok)
            return Usage(result.message);
        char figures[160];
        std::snprintf(figures, sizeof figures,
                      "residual before: rms %.2f dB, peak %.2f dB; after: rms %.2f dB, peak %.2f dB\n",
                      result.before.rmsDb, result.before.peakDb, result.after.rmsDb, result.after.peakDb);
        const std::string text = FormatFilterText(result.bands);
        if (m_options.fitApply) {
            ApplyFreeEqBands(m_session->Link().Eq(), identity, result.bands);
            if (Outcome failure = m_session->Settle())
                return failure;
            m_err << figures;
            return std::nullopt;
        }
        if (m_options.fitOut) {
            if (Outcome failure = WriteText(*m_options.fitOut, text))
                return failure;
            m_err << figures;
            return std::nullopt;
        }
        m_out << text;
        m_err << figures;
        return std::nullopt;
    }

    // A filter list into a mode file's path, offline. The file is rewritten in the current format only
    // when the list is good.
    Outcome FileImport(const std::string& modeFile, const std::string& pathName, const std::string& filters) {
        int identity = -1;
        if (Outcome failure = FilterPath(pathName, identity))
            return failure;
        std::string text;
        if (Outcome failure = ReadText(filters, text))
            return failure;
        m_store.ResetStoreDefaults();
        if (Outcome failure = ReadModeFile(modeFile, m_store))
            return failure;
        const std::vector<FilterTextError> errors = ImportFilterTextIntoStore(m_store, identity, text);
        if (!errors.empty())
            return BadLines(filters, errors);
        const ModeFileResult result = SaveModeFile(modeFile, m_store);
        if (!result.ok())
            return Failure{kExitFile, "cannot write " + modeFile + ": " + std::strerror(result.errorCode)};
        return std::nullopt;
    }

    Outcome FileShow(const std::string& path) {
        ModeFileLayout layout{};
        if (Outcome failure = ReadModeFile(path, m_store, nullptr, &layout))
            return failure;
        const ReportContent content = ReportContent::ForFile(layout);
        if (m_options.json)
            WriteStoreJson(m_out, m_store, content);
        else
            WriteStoreText(m_out, StoreEntries(m_store, content));
        return std::nullopt;
    }

    Outcome FileDiff(const std::string& pathA, const std::string& pathB) {
        ParameterStore a;
        ParameterStore b;
        a.ResetStoreDefaults();
        b.ResetStoreDefaults();
        ModeFileLayout layoutA{};
        ModeFileLayout layoutB{};
        if (Outcome failure = ReadModeFile(pathA, a, nullptr, &layoutA))
            return failure;
        if (Outcome failure = ReadModeFile(pathB, b, nullptr, &layoutB))
            return failure;
        const std::vector<ReportDifference> differences = DiffEntries(StoreEntries(a, ReportContent::ForFile(layoutA)),
                                                                      StoreEntries(b, ReportContent::ForFile(layoutB)));
        if (m_options.json) {
            m_out << '{';
            for (size_t i = 0; i < differences.size(); ++i)
                m_out << (i == 0 ? "" : ",") << JsonString(differences[i].name) << ":[" << differences[i].aJson << ','
                      << differences[i].bJson << ']';
            m_out << "}\n";
            return std::nullopt;
        }
        if (differences.empty())
            m_out << pathA << " and " << pathB << " are equal\n";
        for (const ReportDifference& d : differences)
            m_out << d.name << ' ' << d.a << " -> " << d.b << '\n';
        return std::nullopt;
    }

    const Options& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    const CtlEnvironment& m_env;
    ParameterStore m_store;
    std::unique_ptr<CtlSession> m_session;
};

} // namespace

const char* CtlUsage() {
    return kUsage;
}

int RunCtl(std::span<const std::string> args, std::ostream& out, std::ostream& err, const CtlEnvironment& env) {
    Options options;
    Outcome failure = ParseOptions(args, options);
    if (!failure && options.help) {
        out << kUsage;
        return kExitOk;
    }
    if (!failure) {
        Runner runner(options, out, err, env);
        failure = runner.Run();
        // The runner's session closes the link as it goes out of scope, before the error is shown.
    }
    if (failure) {
        out.flush();
        err << failure->message << '\n';
        return failure->exitCode;
    }
    return kExitOk;
}

} // namespace orvex::ctl
