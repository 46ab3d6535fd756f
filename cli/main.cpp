// merlix-cli: the engine from a terminal and from scripts. It parses the
// command line (CLI11), opens the backend both faces share, keeps the bench's
// chips in the state folder between runs, and hands over to the sub-command.
#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "eeprom/backup.h"
#include "hardware/port_adapter.h"
#include "monitor/live_analyzer.h"
#include "platform/counter.h"
#include "simulator/fake_spidev.h"
#include "startup/adapter_check.h"
#include "startup/analyzer_options.h"
#include "startup/backend.h"
#include "startup/bench_state.h"

namespace {

constexpr const char* kExitCodes =
    "Exit codes: 0 success; 1 the operation failed (no adapter, bus error, time-out, the bench\n"
    "state folder in use); 2 usage or input-file error; 3 verify found differences; 130 Ctrl-C or\n"
    "SIGTERM stopped a write (what the chip holds and where its backup is on stderr).";

// How long a run waits for another process to let go of the bench state folder.
constexpr int kBenchStateWaitMs = 2000;

struct GlobalOptions {
    std::optional<std::string> bench;  // --bench[=PORT]
    bool direct = false;
    std::string ppdev;
    std::string port;
    std::string trace;
    std::string traffic;
    std::string benchVcd;
    std::string benchChip;
    std::string benchFaults;
    std::string benchState;
    bool benchFresh = false;
    std::vector<std::string> adapters;    // --adapter, once or more
    std::string benchAdapter;             // --bench-adapter
    startup::AnalyzerArguments analyzer;  // --analyzer, --analyzer-pins, --analyzer-rate
    bool quiet = false;
    bool json = false;
    bool checksum = false;
    bool backup = true;
};

int Usage(const std::string& sentence) {
    std::fprintf(stderr, "merlix-cli: %s (see --help)\n", sentence.c_str());
    cli::NoteFailure(sentence);
    return cli::kExitUsage;
}

// What the run leaves for its JSON object.
struct RunOutcome {
    bool json = false;  // --json given (and no --help)
    std::string command;
    cli::JsonObject data;
};

// Maps the options onto the shared backend options; false with a sentence.
bool BackendOptionsFrom(const GlobalOptions& g, const CLI::App& app, startup::BackendOptions& options,
                        std::string& error) {
    startup::AdapterArguments given;
    given.bench = app.count("--bench") > 0;
    given.benchPort = g.bench.value_or("");
    given.direct = g.direct;
    given.ppdev = app.count("--ppdev") > 0;
    given.ppdevDevices = g.ppdev;
    given.adapter = app.count("--adapter") > 0;
    given.adapterName = g.adapters.empty() ? std::string() : g.adapters.front();
    given.benchAdapter = app.count("--bench-adapter") > 0;
    given.benchAdapterName = g.benchAdapter;
    if (!startup::ApplyAdapterArguments(given, options, error)) return false;
    for (const std::string& name : g.adapters) {
        if (name.empty()) {
            error = "--adapter needs a value, not an empty text";
            return false;
        }
    }
    for (const char* name : {"--trace", "--traffic", "--bench-chip", "--bench-fault", "--bench-state",
                             "--bench-vcd", "--ppdev", "--bench-adapter"}) {
        if (app.count(name) && app.get_option(name)->as<std::string>().empty()) {
            error = std::string(name) + " needs a value, not an empty text";
            return false;
        }
    }
    options.traceFile = g.trace;
    options.trafficFile = g.traffic;
    options.benchVcdFile = g.benchVcd;
    if (!g.benchChip.empty() && !startup::KnownBenchChip(g.benchChip, options.benchChip, error)) return false;
    if (!g.benchFaults.empty() && !startup::ParseBenchFaults(g.benchFaults, options.faults, error))
        return false;
    return true;
}

// Option values the monitor stops at: a count of lines and a time, both
// more than nothing and finite (nan or inf would mean no limit at all).
std::string PositiveCount(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 1)
        return "takes a number of lines, 1 or more, not '" + text + "'";
    return {};
}

std::string PositiveSeconds(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0)
        return "takes a time in seconds, more than 0, not '" + text + "'";
    return {};
}

// A file the command reads or writes: its path (the system's bytes), or the
// descriptor of standard input or output, and how the user named it.
struct CommandFile {
    std::string path;
    int descriptor = -1;
    std::string named;
};

// The trace replaces the file it names, so it must not name one of the
// command's own files under any name (a link, another spelling): the same
// device and inode are refused. Empty when the trace is not one of them.
std::string TraceClash(const std::string& trace, const std::vector<CommandFile>& files) {
    struct stat traced {};
    if (trace.empty() || trace == "-" || ::stat(trace.c_str(), &traced) != 0) return {};
    for (const CommandFile& file : files) {
        struct stat st {};
        const int found = file.path.empty() ? ::fstat(file.descriptor, &st) : ::stat(file.path.c_str(), &st);
        if (found == 0 && st.st_dev == traced.st_dev && st.st_ino == traced.st_ino)
            return "--trace " + trace + " is " + file.named +
                   "; the trace would replace it, choose another file";
    }
    return {};
}

// Nor may it go into a folder whose files the command reads and writes by
// names of its own (the backups, the bench's chips): restore without a file
// would take it for a backup, and the bench would save a chip over it.
std::string TraceInFolder(const std::string& trace, const std::vector<CommandFile>& folders) {
    if (trace.empty() || trace == "-") return {};
    const std::size_t slash = trace.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : trace.substr(0, slash);
    struct stat within {};
    if (::stat(parent.c_str(), &within) != 0) return {};
    for (const CommandFile& folder : folders) {
        struct stat st {};
        if (::stat(folder.path.c_str(), &st) == 0 && st.st_dev == within.st_dev && st.st_ino == within.st_ino)
            return "--trace " + trace + " is in " + folder.named +
                   ", whose files the command uses; the trace " + "would replace it, choose another folder";
    }
    return {};
}

// What every adapter of a run shares: the options and the command.
struct AdapterRun {
    const GlobalOptions& g;
    // The logic analyzer the monitor watches through instead of the adapter.
    std::optional<monitor::AnalyzerSettings> analyzer;
    std::string holder;  // who keeps the bench state folder: pid and command line
    std::function<int(cli::CommandContext&, const cli::MemoryOptions&)> command;
};

// Opens the adapter of `options`, keeps the bench's chips in `stateFolder`
// around the command and runs it; the command's JSON fields go to `result`.
int RunOnAdapter(const AdapterRun& run, const startup::BackendOptions& options,
                 const cli::MemoryOptions& memory, const std::string& stateFolder,
                 const std::vector<CommandFile>& files, cli::JsonObject& result, bool gang = false) {
    const GlobalOptions& g = run.g;
    std::string error;
    // The bench runs on its own time: a whole-chip write takes what the parts
    // take, without the technician waiting for it in real time.
    startup::AdapterBackend backend;
    backend.UseVirtualTimeOnBench(true);
    if (!backend.Open(options, error))
        return cli::Fail(backend.FileError() ? cli::kExitUsage : cli::kExitFailed, error);
    if (const std::string clash = TraceClash(g.trace, files); !clash.empty()) return Usage(clash);
    if (!backend.Notice().empty()) cli::Say(backend.Notice());
    if (const std::string warning = backend.TakeVoltageWarning(); !warning.empty()) cli::Say(warning);
    if (!backend.OnBench() && (!g.benchState.empty() || g.benchFresh))
        return Usage("--bench-state and --bench-fresh need the simulated bench");

    if (!g.port.empty() && backend.Kind() != startup::AdapterKind::Parallel)
        return Usage("--port chooses a parallel port, and the " + backend.Label() + " has none");

    // Made before the session that points at it; its child ends with it.
    std::unique_ptr<monitor::LiveAnalyzer> analyzer;
    auto session = std::make_unique<eeprom::Session>(backend.Io(), backend.Clock());
    session->Use(backend.Interfaces());
    if (run.analyzer) {
        analyzer = std::make_unique<monitor::LiveAnalyzer>(*run.analyzer);
        session->sniffer = analyzer.get();
    }
    cli::CommandContext context{.session = *session};
    context.adapter = backend.Label();
    context.capabilities = backend.Capabilities();
    if (backend.StrapBenchOrg(false))
        context.strapOrg = [&backend](bool high) { backend.StrapBenchOrg(high); };
    std::optional<startup::BenchState> state;
    if (backend.OnBench()) {
        state.emplace(stateFolder);
        // One process keeps the folder at a time: another run's chips would
        // be saved over this one's at its end.
        if (state->Prepare(error) && !state->Lock(run.holder, kBenchStateWaitMs, error))
            return cli::Fail(cli::kExitFailed, error);
        if (!error.empty() || (g.benchFresh && !state->Clear(error)) ||
            !state->LoadBus(*backend.Bench(), error))
            return cli::Fail(cli::kExitUsage, error);
        simulator::SimulatedBench* bench = backend.Bench();
        context.socketReady = [&state, bench](std::string& why) { return state->LoadSocket(*bench, why); };
    }

    context.bench = backend.Bench();
    context.benchChipFixed = !g.benchChip.empty();
    context.forcedPort = g.port.empty()                           ? backend.ParallelPort()
                         : (g.port == "lpt2" || g.port == "LPT2") ? hardware::kLpt2
                                                                  : hardware::kLpt1;
    // Side by side, every adapter fills its own fields for the table.
    context.json = g.json || gang;
    context.checksum = g.checksum && !gang;
    context.backup = g.backup;
    context.progress = !gang && !g.quiet && !g.json && isatty(STDERR_FILENO);

    const int code = run.command(context, memory);
    result = context.result;
    if (!backend.SaveWaveform(error)) {
        if (code == cli::kExitOk) return cli::Fail(cli::kExitFailed, error);
        cli::Say(error);
    }
    if (state && !state->Save(*backend.Bench(), error)) {
        if (code == cli::kExitOk) return cli::Fail(cli::kExitFailed, error);
        cli::Say(error);
    }
    return code;
}

// FILE with "-N" before its extension: each adapter's read of a run on
// several ("dump.hex": "dump-2.hex").
std::string NumberedFile(const std::string& path, int n) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
                                   dot == (slash == std::string::npos ? 0 : slash + 1)
                               ? path.size()
                               : dot;
    return path.substr(0, at) + "-" + std::to_string(n) + path.substr(at);
}

// The command on several CH341A programmers at once, each in a thread of its
// own with its own backend, session and clock; one failing never stops the
// others. A table on stdout (or an "adapters" array under --json), and the
// highest exit code of them all.
int RunGang(const AdapterRun& run, const std::vector<startup::BackendOptions>& each,
            const cli::MemoryOptions& memory, const std::string& stateFolder, cli::JsonObject& data) {
    struct Member {
        std::string name;
        int number = 0;
        int code = cli::kExitOk;
        std::string error;
        cli::JsonObject result;
    };
    std::vector<Member> members(each.size());
    std::vector<std::thread> threads;
    const cli::InterruptGuard interrupts;  // Ctrl-C reaches every adapter's write
    for (std::size_t i = 0; i < each.size(); ++i) {
        const startup::BackendOptions& options = each[i];
        Member& member = members[i];
        member.name = startup::AdapterName(options);
        member.number = options.backend == startup::BackendOptions::Backend::Bench ? options.benchProgrammer
                                                                                   : options.usbIndex;
        threads.emplace_back([&run, &options, &member, &memory, &stateFolder] {
            cli::SpeakFor(member.name);
            cli::MemoryOptions mine = memory;
            if (!mine.outputFile.empty()) mine.outputFile = NumberedFile(memory.outputFile, member.number);
            // Programmer 0 keeps the folder a run on one programmer keeps.
            const std::string folder =
                member.number == 0 || options.backend != startup::BackendOptions::Backend::Bench
                    ? stateFolder
                    : stateFolder + "/programmer-" + std::to_string(member.number);
            member.code = RunOnAdapter(run, options, mine, folder, {}, member.result, true);
            member.error = member.code == cli::kExitOk ? "" : cli::Failure();
        });
    }
    for (std::thread& thread : threads) thread.join();

    int worst = cli::kExitOk;
    cli::JsonArray rows;
    std::string table = "adapter            result     bytes  seconds  CRC-32\n";
    for (Member& member : members) {
        worst = std::max(worst, member.code);
        const auto field = [&member](const char* key) {
            std::string value = member.result.Value(key);
            if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
            return value.empty() || value == "null" ? std::string("-") : value;
        };
        const char* result = member.code == cli::kExitOk            ? "ok"
                             : member.code == cli::kExitMismatch    ? "MISMATCH"
                             : member.code == cli::kExitInterrupted ? "STOPPED"
                             : member.code == cli::kExitUsage       ? "REFUSED"
                                                                    : "FAILED";
        char line[160];
        std::snprintf(line, sizeof line, "%-18s %-9s %6s %8s  %s", member.name.c_str(), result,
                      field("bytes").c_str(), field("seconds").c_str(), field("crc32").c_str());
        table += line;
        table += member.error.empty() ? "\n" : "  " + member.error + "\n";
        // Said by no thread (its fields went to the table): where each chip's old contents are.
        if (const std::string backup = member.result.Value("backup"); backup.size() > 2 && !run.g.json)
            cli::Say(member.name + ": backup of the old contents: " + backup.substr(1, backup.size() - 2));
        cli::JsonObject row;
        row.String("adapter", member.name).Bool("ok", member.code == cli::kExitOk).Int("exit", member.code);
        if (member.error.empty()) {
            row.Null("error");
        } else {
            row.String("error", member.error);
        }
        rows.Json(row.Merge(member.result).Text());
    }
    if (!run.g.json) std::fputs(table.c_str(), stdout);
    data.Json("adapters", rows.Text());
    if (worst != cli::kExitOk) {
        int failed = 0;
        for (const Member& member : members) failed += member.code != cli::kExitOk ? 1 : 0;
        cli::NoteFailure(std::to_string(failed) + " of " + std::to_string(members.size()) +
                         " adapters failed");
    }
    return worst;
}

int Run(int argc, char** argv, RunOutcome& outcome) {
    CLI::App app{"merlix-cli: I2C bus monitor and serial EEPROM programmer for the parallel-port adapter,\n"
                 "without a window. Without a backend option it uses the parallel port when the machine\n"
                 "has one this process may use, and the simulated bench otherwise.",
                 "merlix-cli"};
    app.footer(kExitCodes);
    app.require_subcommand(1);
    app.fallthrough();
    GlobalOptions g;

    app.add_option("--bench", g.bench,
                   "Run on the simulated bench, the adapter on PORT: lpt1 (default), lpt2 or none")
        ->expected(0, 1)
        ->type_name("[=PORT]");
    app.add_flag("--direct", g.direct, "Use the parallel port directly (needs root or CAP_SYS_RAWIO)");
    app.add_option("--ppdev", g.ppdev, "Use the ppdev devices DEV1 (LPT1) and DEV2 (LPT2)")
        ->type_name("DEV1[,DEV2]");
    app.add_option("--adapter", g.adapters,
                   "Use ADAPTER: lpt1 or lpt2 (the parallel adapter on that port), i2c-dev:/dev/i2c-N, "
                   "spidev:/dev/spidevB.C or ch341a[:N][,400k] (the Nth CH341A, from 0, and its I2C clock: "
                   "20k, 100k, 400k, 750k; default: the parallel port, "
                   "else the one CH341A, else one USB-to-I2C bridge, else the bench). read, write, fill and "
                   "verify take it more than once, and ch341a:all, to run CH341A programmers side by side")
        ->type_name("ADAPTER")
        ->allow_extra_args(false);
    app.add_option(
           "--bench-adapter", g.benchAdapter,
           "Bench: run through the real code of parallel, i2c-dev (:two-message for a USB-HID bridge, "
           ":400k, both as i2c-dev:two-message,400k), spidev or ch341a (:COUNT programmers side by side, "
           "each on a bench of its own; :20k, :400k or :750k I2C clock; both as ch341a:3,400k), on its fake")
        ->type_name("KIND");
    app.add_option("--port", g.port, "Use the adapter on lpt1 or lpt2 only (default: probe LPT1, then LPT2)")
        ->check(CLI::IsMember({"lpt1", "lpt2"}, CLI::ignore_case));
    app.add_option("--trace", g.trace, "Write every port access to FILE (- for standard output)")
        ->type_name("FILE");
    app.add_option("--traffic", g.traffic, "Bench: play the bus capture in FILE as a second bus master")
        ->type_name("FILE");
    app.add_option(
           "--bench-vcd", g.benchVcd,
           "Bench: record the I2C bus's SCL and SDA and write them to FILE as a VCD waveform when the "
           "command ends")
        ->type_name("FILE");
    app.add_option("--bench-chip", g.benchChip,
                   "Bench: keep chip NAME (a chip list text, or any part of chips) in its socket")
        ->type_name("NAME");
    app.add_option(
           "--bench-fault", g.benchFaults,
           "Bench: faults on from the start: adapter-absent, controller-absent, bus-busy, slave-nack, "
           "chip-no-store, slow-parts")
        ->type_name("NAME[,NAME...]");
    app.add_option("--bench-state", g.benchState,
                   "Bench: keep the virtual chips in DIR (default $XDG_STATE_HOME/merlix/bench)")
        ->type_name("DIR");
    app.add_flag("--bench-fresh", g.benchFresh, "Bench: start from fresh chips, forgetting the saved ones");
    app.add_option("--analyzer", g.analyzer.device,
                   "monitor: watch the bus through a logic analyzer, run by sigrok-cli with this driver "
                   "(fx2lafw, or fx2lafw:conn=BUS.ADDRESS for one of several), whatever the adapter")
        ->type_name("DRIVER[:conn=...]");
    app.add_option("--analyzer-pins", g.analyzer.pins,
                   "monitor: the analyzer's channels on SCL and SDA (default scl=D0,sda=D1)")
        ->type_name("scl=Dn,sda=Dm");
    app.add_option(
           "--analyzer-rate", g.analyzer.rate,
           std::string("monitor: the analyzer's sample rate (default 1M), ") + startup::kAnalyzerRateRule)
        ->type_name("RATE");
    app.add_flag("-q,--quiet", g.quiet, "No progress line");
    app.add_flag("--json", g.json, "Print one JSON object on stdout, on success and on failure");
    app.add_flag("--checksum", g.checksum,
                 "Print CRC-32, SHA-256 and the 8-bit sum of the data read or written");
    // Callback flags: a negated flag would show its default ("--no-backup{false}") in --help.
    app.add_flag_callback(
        "--no-backup", [&g] { g.backup = false; }, "Write without first backing the chip's old contents up");

    cli::MemoryOptions memory;
    const auto addMemory = [&memory](CLI::App* sub) {
        sub->add_option("--chip", memory.chip,
                        "Chip: 24C01..24M02, 93C06x8..93C86x16, AT25C010..AT25C160, 25010..25M02 (see chips)")
            ->required();
        sub->add_option("--device", memory.device, "I2C memories: device address A0..AF (default A0)");
        sub->add_option("--page", memory.page,
                        "I2C memories: one 256-byte page N only (default: the whole chip)");
    };
    CLI::App* probe =
        app.add_subcommand("probe", "Reset the adapter and report \"PCF 8584 Ok\" or \"Not Found\"");
    CLI::App* ports = app.add_subcommand("ports", "Report the parallel ports, access rights and adapters");
    CLI::App* chips = app.add_subcommand("chips", "List the supported chips with their facts");
    CLI::App* detect = app.add_subcommand(
        "detect",
        "Find what answers on the I2C bus and in the serial socket, and the parts that fit (reads only)");
    CLI::App* read = app.add_subcommand("read", "Read a chip (a dump on stdout without -o)");
    addMemory(read);
    read->get_option("--chip")->description("Chip as for write, or auto: the one part detect is sure of");
    read->add_option("-o,--output", memory.outputFile, "Save to FILE (- for stdout)")->type_name("FILE");
    read->add_option("--format", memory.format, "raw, ihex or srec (default: by the file's extension)");
    const char* inputFormat = "raw, ihex or srec (default: by the file's extension, else by its content)";
    CLI::App* write =
        app.add_subcommand("write", "Write a chip from a raw, Intel HEX or S-record file, then verify");
    addMemory(write);
    write->add_option("-i,--input", memory.inputFile, "FILE (- for stdin)")->required()->type_name("FILE");
    write->add_option("--format", memory.format, inputFormat);
    const auto noVerify = [&memory] { memory.verify = false; };
    const char* unprotect = "25010..25M02: clear the block protection for the write, then set it again";
    write->add_flag("--unprotect", memory.unprotect, unprotect);
    write->add_flag_callback("--no-verify", noVerify, "Do not read the chip back");
    CLI::App* restore = app.add_subcommand(
        "restore", "Write a backup back and verify it (the newest of --chip without FILE)");
    addMemory(restore);
    std::string restoreFile;
    restore->add_flag("--unprotect", memory.unprotect, unprotect);
    restore->add_option("FILE", restoreFile, "A backup file (default: the chip's newest)")->type_name("FILE");
    CLI::App* verify = app.add_subcommand("verify", "Compare a chip with a file");
    addMemory(verify);
    verify->add_option("-i,--input", memory.inputFile, "FILE (- for stdin)")->required()->type_name("FILE");
    verify->add_option("--format", memory.format, inputFormat);
    CLI::App* fill = app.add_subcommand("fill", "Fill a chip with one byte value, then verify");
    addMemory(fill);
    std::string fillValue = "0xFF";
    fill->add_option("--value", fillValue, "The byte (default 0xFF)");
    fill->add_flag_callback("--no-verify", noVerify, "Do not read the chip back");
    fill->add_flag("--unprotect", memory.unprotect, unprotect);

    cli::RegisterOptions reg;
    CLI::App* set = app.add_subcommand("set", "Write register REG of device ADDR (7-bit) with VALUE");
    set->add_option("ADDR", reg.address)->required();
    set->add_option("REG", reg.reg)->required();
    set->add_option("VALUE", reg.value)->required();
    set->add_option("MODE", reg.mode, "b (byte, default) or w (word, low byte first)");
    CLI::Option* maskOption = set->add_option(
        "-m,--mask", reg.mask, "Change only the bits set in MASK (the register is read first)");
    set->add_flag("-r,--read-back", reg.readBack, "Read the register back and compare");
    CLI::App* get = app.add_subcommand("get", "Read register REG of device ADDR (7-bit)");
    get->add_option("ADDR", reg.address)->required();
    get->add_option("REG", reg.reg)->required();
    get->add_option("MODE", reg.mode, "b (byte, default) or w (word, low byte first)");
    CLI::App* dump = app.add_subcommand("dump", "Read the 256 registers of device ADDR (7-bit) as a table");
    dump->add_option("ADDR", reg.address)->required();
    dump->add_option("-r,--range", reg.range, "Only registers FIRST-LAST");
    std::vector<std::string> messages;
    CLI::App* transfer =
        app.add_subcommand("transfer", "I2C messages in i2ctransfer syntax: w2@0x50 0x00 0x10 r16@0x50");
    transfer->add_option("MESSAGE", messages)->required();
    cli::MonitorOptions monitorOptions;
    CLI::App* monitor = app.add_subcommand("monitor", "Log the bus traffic of other masters until Ctrl-C");
    monitor->add_option("--filter", monitorOptions.filter, "Hide device ADDR (as the log shows it, A0)");
    monitor->add_option("--count", monitorOptions.count, "Stop after N lines")
        ->check(CLI::Validator(PositiveCount, "N"));
    monitor
        ->add_option("--format", monitorOptions.format,
                     "log (the window's lines), csv or text (capture text)")
        ->check(CLI::IsMember({"log", "csv", "text"}));
    monitor->add_option("--seconds", monitorOptions.seconds, "Stop after S seconds")
        ->check(CLI::Validator(PositiveSeconds, "S"));

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // The parse may stop before it reaches --json or the sub-command: both are looked for by name.
        for (int i = 1; i < argc; ++i) {
            const std::string word = argv[i];
            outcome.json = outcome.json || word == "--json";
            for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
                if (outcome.command.empty() && sub->get_name() == word) outcome.command = word;
        }
        return Usage(e.what());
    }
    outcome.json = g.json;
    outcome.command = app.get_subcommands().front()->get_name();

    startup::BackendOptions backendOptions;
    backendOptions.program = "merlix-cli";
    std::string error;
    if (!BackendOptionsFrom(g, app, backendOptions, error)) return Usage(error);

    if (chips->parsed()) return cli::RunChips(g.json, outcome.data);
    if (ports->parsed()) {
        // The survey looks at this machine's own ports, never the bench's,
        // and traces nothing: a backend option here is a slip, said as one.
        std::string given;
        for (const char* name : {"--bench", "--direct", "--ppdev", "--adapter", "--bench-adapter", "--port",
                                 "--trace", "--traffic", "--bench-chip", "--bench-fault", "--bench-state",
                                 "--bench-fresh", "--bench-vcd", "--analyzer"}) {
            if (app.count(name)) given += std::string(given.empty() ? "" : ", ") + name;
        }
        if (!given.empty()) return Usage("ports surveys this machine's own ports and takes no " + given);
        std::ostringstream report;
        const int found = startup::RunAdapterCheck(g.json ? report : std::cout);
        cli::JsonArray lines;
        std::istringstream text(report.str());
        for (std::string line; std::getline(text, line);) lines.String(line);
        outcome.data.Bool("found", found == cli::kExitOk).Json("report", lines.Text());
        if (g.json && found != cli::kExitOk) return cli::Fail(found, "no adapter answered on any port");
        return found;
    }

    CLI::App* chosen = app.get_subcommands().front();
    monitor::AnalyzerSettings analyzerSettings;
    for (const char* name : {"--analyzer", "--analyzer-pins", "--analyzer-rate"}) {
        if (app.count(name) && app.get_option(name)->as<std::string>().empty())
            return Usage(std::string(name) + " needs a value, not an empty text");
    }
    if (!startup::ParseAnalyzerArguments(g.analyzer, analyzerSettings, error)) return Usage(error);
    const bool analyzerGiven = !g.analyzer.device.empty();
    if (analyzerGiven && chosen != monitor)
        return Usage("--analyzer watches the bus for monitor; " + chosen->get_name() + " does not watch it");
    const CLI::Option* pageOption = chosen->get_option_no_throw("--page");
    memory.pageGiven = pageOption && pageOption->count() > 0;
    reg.maskGiven = maskOption->count() > 0;
    if (g.trace == "-" && (g.json || memory.outputFile == "-"))
        return Usage(std::string(g.json ? "--json" : "-o -") +
                     " and --trace - both want stdout; trace to a file");
    // Checked before the trace is made (which would empty the file) and again
    // after, for an output that did not exist yet under the trace's name.
    std::vector<CommandFile> files{{{}, STDOUT_FILENO, "standard output"}};
    if (chosen == write || chosen == verify)
        files.push_back(memory.inputFile == "-" ? CommandFile{{}, STDIN_FILENO, "standard input"}
                                                : CommandFile{memory.inputFile, -1, "the input (-i)"});
    if (chosen == read && !memory.outputFile.empty() && memory.outputFile != "-")
        files.push_back({memory.outputFile, -1, "the output (-o)"});
    if (chosen == restore && !restoreFile.empty())
        files.push_back({restoreFile, -1, "the backup to restore"});
    if (!g.traffic.empty()) files.push_back({g.traffic, -1, "the --traffic capture"});
    if (!g.benchVcd.empty()) files.push_back({g.benchVcd, -1, "the --bench-vcd waveform"});
    if (const std::string clash = TraceClash(g.trace, files); !clash.empty()) return Usage(clash);
    const std::vector<CommandFile> folders{
        {QFile::encodeName(eeprom::BackupFolder()).toStdString(), -1, "the backup folder"},
        {g.benchState.empty() ? startup::DefaultBenchStateFolder() : g.benchState, -1,
         "the bench state folder"}};
    if (const std::string clash = TraceInFolder(g.trace, folders); !clash.empty()) return Usage(clash);

    std::vector<startup::BackendOptions> each;
    if (!startup::SplitAdapters(backendOptions, g.adapters, each, error)) return Usage(error);
    if (each.empty()) return cli::Fail(cli::kExitFailed, error);
    if (each.size() > 1) {
        if (chosen != read && chosen != write && chosen != verify && chosen != fill)
            return Usage(chosen->get_name() +
                         " runs on one adapter; read, write, fill and verify run on several");
        if (!g.trace.empty()) return Usage("--trace records the parallel adapter, not CH341A programmers");
        if (chosen == read && (memory.outputFile.empty() || memory.outputFile == "-"))
            return Usage("read on several adapters needs -o FILE (each adapter's data goes to FILE-N)");
        if ((chosen == write || chosen == verify) && memory.inputFile == "-")
            return Usage("several adapters read the input each: -i takes a file, not standard input");
    }

    const std::string stateFolder = g.benchState.empty() ? startup::DefaultBenchStateFolder() : g.benchState;
    std::string holder = "pid " + std::to_string(::getpid()) + ":";
    for (int i = 0; i < argc; ++i) holder += std::string(" ") + (i == 0 ? "merlix-cli" : argv[i]);
    const auto command = [&, fillValue](cli::CommandContext& context, const cli::MemoryOptions& options) {
        context.command = chosen->get_name();
        if (g.json && options.outputFile == "-")
            return Usage("--json and -o - both want stdout; save the data to a file");
        if (chosen == probe) return cli::RunProbe(context);
        if (chosen == detect) return cli::RunDetect(context);
        if (chosen == read) return cli::RunRead(context, options);
        if (chosen == write) return cli::RunWrite(context, options);
        if (chosen == restore) return cli::RunRestore(context, options, restoreFile);
        if (chosen == verify) return cli::RunVerify(context, options);
        if (chosen == fill) {
            long value = 0;
            if (!cli::ParseNumber(fillValue, 0, 255, value))
                return Usage("--value is a byte, 0..255 or 0x00..0xFF, not '" + fillValue + "'");
            cli::MemoryOptions filled = options;
            filled.fillValue = static_cast<int>(value);
            return cli::RunWrite(context, filled);
        }
        if (chosen == set) return cli::RunSet(context, reg);
        if (chosen == get) return cli::RunGet(context, reg);
        if (chosen == dump) return cli::RunDump(context, reg);
        if (chosen == transfer) return cli::RunTransfer(context, messages);
        if (chosen == monitor) return cli::RunMonitor(context, monitorOptions);
        return static_cast<int>(cli::kExitOk);
    };
    AdapterRun run{g, std::nullopt, holder, command};
    if (analyzerGiven) run.analyzer = analyzerSettings;
    if (each.size() == 1) {
        const int code = RunOnAdapter(run, each.front(), memory, stateFolder, files, outcome.data);
        return code;
    }
    // Each programmer's bench writes a waveform of its own: FILE-N.
    for (startup::BackendOptions& options : each) {
        if (!options.benchVcdFile.empty())
            options.benchVcdFile = NumberedFile(g.benchVcd, options.benchProgrammer);
    }
    return RunGang(run, each, memory, stateFolder, outcome.data);
}

}  // namespace

int main(int argc, char** argv) {
    RunOutcome outcome;
    const int code = Run(argc, argv, outcome);
    if (!outcome.json) return code;
    // Exactly one object on stdout, whatever happened; the sentence went to stderr too.
    cli::JsonObject object;
    if (outcome.command.empty()) {
        object.Null("command");
    } else {
        object.String("command", outcome.command);
    }
    object.Bool("ok", code == cli::kExitOk).Int("exit", code);
    if (code == cli::kExitOk) {
        object.Null("error");
    } else {
        object.String("error",
                      cli::Failure().empty() ? "failed (exit " + std::to_string(code) + ")" : cli::Failure());
    }
    object.Merge(outcome.data);
    std::printf("%s\n", object.Text().c_str());
    return code;
}
