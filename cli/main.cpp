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

#include <QtGlobal>
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/completion.h"
#include "cli/gang.h"
#include "cli/global_options.h"
#include "cli/help_examples.h"
#include "cli/i2c_tools.h"
#include "cli/memory_options.h"
#include "cli/output_files.h"
#include "cli/usage_words.h"
#include "eeprom/backup.h"
#include "hardware/port_adapter.h"

#include "monitor/live_analyzer.h"
#include "platform/counter.h"
#include "platform/usb_system.h"
#include "startup/adapter_check.h"
#include "startup/adapter_list.h"
#include "startup/analyzer_options.h"
#include "startup/backend.h"
#include "startup/bench_state.h"

namespace {

constexpr const char* kExitCodes =
    "Exit codes: 0 success; 1 the operation failed (no adapter, bus error, time-out, the bench\n"
    "state folder in use); 2 usage or input-file error; 3 verify found differences (blank-check: not\n"
    "blank); 130 Ctrl-C or SIGTERM stopped a write (what the chip holds and where its backup is on\n"
    "stderr).";

// How long a run waits for another process to let go of the bench state folder.
constexpr int kBenchStateWaitMs = 2000;

using cli::GlobalOptions;

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
    given.benchPort = g.benchPort;
    given.direct = g.direct;
    given.ppdev = app.count("--ppdev") > 0;
    given.ppdevDevices = g.ppdev;
    given.adapter = !g.adapters.empty();
    given.adapterName = g.adapters.empty() ? std::string() : g.adapters.front();
    given.benchAdapter = app.count("--bench-adapter") > 0;
    given.benchAdapterName = g.benchAdapter;
    // The faults first: the adapter arguments say which bench they act on.
    if (app.count("--bench-fault") && !g.benchFaults.empty() &&
        !startup::ParseBenchFaults(g.benchFaults, options.faults, error))
        return false;
    if (!startup::ApplyAdapterArguments(given, options, error)) return false;
    for (const std::string& name : g.adapters) {
        if (name.empty()) {
            error = "--adapter needs a value, not an empty text";
            return false;
        }
    }
    for (const char* name : {"--trace", "--traffic", "--traffic-rate", "--bench-chip", "--bench-fault",
                             "--bench-state", "--bench-vcd", "--ppdev", "--bench-adapter"}) {
        if (app.count(name) && app.get_option(name)->as<std::string>().empty()) {
            error = std::string(name) + " needs a value, not an empty text";
            return false;
        }
    }
    options.traceFile = g.trace;
    options.trafficFile = g.traffic;
    options.trafficRate = g.trafficRate;
    options.benchVcdFile = g.benchVcd;
    if (!g.benchChip.empty() && !startup::KnownBenchChip(g.benchChip, options.benchChip, error)) return false;
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

// The options of `app` as the check for mistyped words wants them.
cli::CommandWords WordsOf(const CLI::App& app) {
    cli::CommandWords words{app.get_name(), {}};
    for (const CLI::Option* option : app.get_options()) {
        const int values = option->get_type_size_max() == 0 ? 0 : option->get_expected_min() == 0 ? -1 : 1;
        for (const std::string& name : option->get_lnames()) words.options.push_back({"--" + name, values});
        for (const std::string& name : option->get_snames()) words.options.push_back({"-" + name, values});
    }
    return words;
}

std::string UnknownWord(CLI::App& app, int argc, char** argv) {
    std::vector<cli::CommandWords> commands;
    for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
        commands.push_back(WordsOf(*sub));
    cli::CommandWords program = WordsOf(app);
    program.name.clear();
    return cli::UnknownWord(std::vector<std::string>(argv + 1, argv + argc), program, commands);
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
                 const std::vector<cli::CommandFile>& files, cli::JsonObject& result, bool gang = false) {
    const GlobalOptions& g = run.g;
    std::string error;
    // The bench runs on its own time: a whole-chip write takes what the parts
    // take, without the technician waiting for it in real time.
    startup::AdapterBackend backend;
    backend.UseVirtualTimeOnBench(true);
    if (!backend.Open(options, error))
        return cli::Fail(backend.FileError() ? cli::kExitUsage : cli::kExitFailed, error);
    // Again once the trace is made, for a name that only now is a file.
    if (const std::string clash = cli::OutputClash({"--trace", g.trace, "trace"}, files); !clash.empty())
        return Usage(clash);
    if (!backend.Notice().empty()) cli::Say(backend.Notice());
    if (const std::string warning = backend.TakeVoltageWarning(); !warning.empty()) {
        // Once a day for each adapter: a warning before every command would soon go unread.
        std::string folder = startup::DefaultBenchStateFolder();
        folder =
            options.bench ? stateFolder : folder.substr(0, folder.rfind('/'));  // merlix's own state folder
        if (g.verbose || startup::FirstTimeToday(folder, startup::AdapterKey(options) + "-5v-warning"))
            cli::Say(warning);
    }
    if (!backend.OnBench() && (!g.benchState.empty() || g.benchFresh))
        return Usage("--bench-state and --bench-fresh need the simulated bench");

    if (!g.port.empty() && !backend.ThroughPorts())
        return Usage("--port chooses a parallel port, and the " + backend.Label() + " has none");

    // Made before the session that points at it; its child ends with it.
    std::unique_ptr<monitor::LiveAnalyzer> analyzer;
    std::unique_ptr<eeprom::Session> session = backend.NewSession();
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

    context.bench = startup::BenchControl(backend.Bench());
    context.benchChipFixed = !g.benchChip.empty();
    context.forcedPort = g.port.empty()                           ? backend.ParallelPort()
                         : (g.port == "lpt2" || g.port == "LPT2") ? hardware::kLpt2
                                                                  : hardware::kLpt1;
    // Side by side, every adapter fills its own fields for the table.
    context.json = g.json || gang;
    context.checksum = g.checksum && !gang;
    context.backup = g.backup;
    const bool line = !g.quiet && !g.json && g.progress == "line" && isatty(STDERR_FILENO);
    context.progress = gang                   ? cli::ProgressStyle::None
                       : g.progress == "json" ? cli::ProgressStyle::Json
                       : line                 ? cli::ProgressStyle::Line
                                              : cli::ProgressStyle::None;
    context.resultLine = !gang && !g.quiet && !g.json;

    const int code = run.command(context, memory);
    result = context.result;
    // The chips first: whatever becomes of the waveform, the bench keeps what was written.
    if (state && !state->Save(*backend.Bench(), error)) {
        if (code == cli::kExitOk) return cli::Fail(cli::kExitFailed, error);
        cli::Say(error);
    }
    if (!backend.SaveWaveform(error)) {
        // About the waveform alone: what the command did to the chips stands.
        if (const std::size_t tail = error.rfind("; nothing was written"); tail != std::string::npos)
            error.erase(tail, std::string("; nothing was written").size());
        error = "the bus waveform was not saved, whatever the command did stands: " + error;
        result.Bool("waveform_saved", false);
        if (code == cli::kExitOk) return cli::Fail(cli::kExitFailed, error);
        cli::Say(error);
    }
    return code;
}

// The command on several adapters side by side (cli/gang.h), each on a
// backend of its own.
int RunGang(const AdapterRun& run, const std::vector<startup::BackendOptions>& each,
            const cli::MemoryOptions& memory, const std::string& stateFolder, cli::JsonObject& data) {
    std::vector<cli::GangMember> members;
    for (const startup::BackendOptions& options : each) {
        const int number = startup::SideBySideNumber(options);
        // Adapter 0 keeps the folder a run on one adapter keeps.
        members.push_back({startup::AdapterName(options), number,
                           number == 0 || !options.bench
                               ? stateFolder
                               : stateFolder + "/programmer-" + std::to_string(number)});
    }
    return cli::RunGang(members, memory, run.g.json, data,
                        [&](std::size_t i, const cli::MemoryOptions& mine, cli::JsonObject& result) {
                            return RunOnAdapter(run, each[i], mine, members[i].stateFolder, {}, result, true);
                        });
}

int Run(int argc, char** argv, RunOutcome& outcome) {
    const int toolAt = cli::I2cToolPosition(argc, argv);
    const std::vector<std::string> toolArgs(argv + (toolAt ? toolAt + 1 : argc), argv + argc);
    if (toolAt) argc = toolAt + 1;
    CLI::App app{"merlix-cli: I2C bus monitor and serial EEPROM programmer for the parallel-port adapter,\n"
                 "without a window. Without a backend option it uses the parallel port when the machine\n"
                 "has one this process may use, and the simulated bench otherwise.",
                 "merlix-cli"};
    app.footer(kExitCodes);
    app.require_subcommand(1);
    app.fallthrough();
    GlobalOptions g;

    cli::AddBackendOptions(app, g);
    app.set_version_flag("--version", [] {
        return std::string("merlix-cli ") + MERLIX_VERSION + "\nQt " + qVersion() + "\nlibusb " +
               platform::LibusbVersion();
    });
    cli::AddOutputOptions(app, g);

    cli::MemoryOptions memory;
    CLI::App* probe =
        app.add_subcommand("probe", "Reset the adapter and report \"PCF 8584 Ok\" or \"Not Found\"");
    CLI::App* ports = app.add_subcommand("ports", "Report the parallel ports, access rights and adapters");
    CLI::App* chips = app.add_subcommand("chips", "List the supported chips with their facts");
    CLI::App* detect = app.add_subcommand(
        "detect",
        "Find what answers on the I2C bus and in the serial socket, and the parts that fit (reads only)");
    cli::MemoryCommands memoryCommands;
    cli::AddMemoryCommands(app, memory, memoryCommands);
    CLI::App* read = memoryCommands.read;
    CLI::App* write = memoryCommands.write;
    CLI::App* restore = memoryCommands.restore;
    CLI::App* verify = memoryCommands.verify;
    CLI::App* fill = memoryCommands.fill;
    const std::string& restoreFile = memoryCommands.restoreFile;

    cli::RegisterOptions reg;
    CLI::App* set = app.add_subcommand("set", "Write register REG of device ADDR (7-bit) with VALUE");
    set->add_option("ADDR", reg.address)->required();
    set->add_option("REG", reg.reg)->required();
    set->add_option("VALUE", reg.value)->required();
    set->add_option("MODE", reg.mode, "b (byte, default) or w (word, low byte first)");
    CLI::Option* maskOption = set->add_option(
        "-m,--mask", reg.mask, "Change only the bits set in MASK (the register is read first)");
    set->add_flag("-r,--read-back", reg.readBack, "Read the register back and compare");
    CLI::App* get =
        app.add_subcommand("get", "Read register REG of device ADDR (7-bit); without REG, the byte it sends");
    get->add_option("ADDR", reg.address)->required();
    get->add_option("REG", reg.reg);
    get->add_option("MODE", reg.mode, "b (byte, default) or w (word, low byte first)");
    CLI::App* dump = app.add_subcommand("dump", "Read the 256 registers of device ADDR (7-bit) as a table");
    dump->add_option("ADDR", reg.address)->required();
    dump->add_option("-r,--range", reg.range, "Only registers FIRST-LAST");
    std::vector<std::string> messages;
    CLI::App* transfer =
        app.add_subcommand("transfer", "I2C messages in i2ctransfer syntax: w2@0x50 0x00 0x10 r16@0x50");
    transfer->add_option("MESSAGE", messages)->required();
    std::vector<CLI::App*> i2cTools;
    for (const char* tool : {"i2cdetect", "i2cget", "i2cset", "i2cdump", "i2ctransfer"})
        i2cTools.push_back(
            app.add_subcommand(tool, std::string("As i2c-tools' ") + tool +
                                         ": the same arguments, output and exit codes, I2CBUS " +
                                         "naming /dev/i2c-N, or the adapter's bus (the bench's is 1)"));
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

    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
        if (const std::string example = cli::CommandExample(sub->get_name()); !example.empty())
            sub->footer(example);
    }

    // For the shells' completion scripts; not listed in --help.
    if (argc >= 2 && std::string(argv[1]) == "--complete")
        return cli::PrintCompletions({argv + 2, argv + argc}, app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // The parse may stop before it reaches --json or the sub-command: both are looked for by name.
        for (int i = 1; i < argc; ++i) {
            const std::string word = argv[i];
            outcome.json = outcome.json || word == "--json";
            for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
                if (outcome.command.empty() && sub->get_name() == word) outcome.command = word;
        }
        // A mistyped word is named, rather than what the parser made of it.
        const std::string unknown = UnknownWord(app, argc, argv);
        return Usage(unknown.empty() ? std::string(e.what()) : unknown);
    }
    outcome.json = g.json;
    outcome.command = app.get_subcommands().front()->get_name();
    cli::NoteGivenOptions(app, g);

    CLI::App* const tool = app.get_subcommands().front();
    cli::I2cToolPlan toolPlan;
    const bool isTool = std::find(i2cTools.begin(), i2cTools.end(), tool) != i2cTools.end();
    if (isTool) {
        if (g.json) return Usage(tool->get_name() + " prints what i2c-tools print; --json is not for it");
        if (!cli::ParseI2cTool(tool->get_name(), toolArgs, toolPlan)) return toolPlan.code;
        const bool bench = app.count("--bench") || app.count("--bench-adapter");
        const bool picked = bench || !g.adapters.empty() || g.direct || app.count("--ppdev");
        if (const int code = cli::ChooseI2cBus(toolPlan, picked, bench, g.adapters)) return code;
        if (toolPlan.done) return toolPlan.code;
    }

    startup::BackendOptions backendOptions;
    backendOptions.program = "merlix-cli";
    std::string error;
    if (!BackendOptionsFrom(g, app, backendOptions, error)) return Usage(error);

    if (chips->parsed()) return cli::RunChips(g.json, outcome.data);
    if (ports->parsed()) {
        // The survey looks at this machine's own ports, never the bench's,
        // and traces nothing: a backend option here is a slip, said as one.
        std::string given;
        for (const startup::BackendOption& row : startup::BackendOptionTable()) {
            if (row.refusedBySurvey && g.Given(row.name))
                given += (given.empty() ? "--" : ", --") + std::string(row.name);
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
    for (const char* name : {"--analyzer", "--analyzer-file", "--analyzer-pins", "--analyzer-rate"}) {
        if (app.count(name) && app.get_option(name)->as<std::string>().empty())
            return Usage(std::string(name) + " needs a value, not an empty text");
    }
    if (!startup::ParseAnalyzerArguments(g.analyzer, analyzerSettings, error)) return Usage(error);
    const bool analyzerGiven = !g.analyzer.device.empty() || !g.analyzer.file.empty();
    if (analyzerGiven && chosen != monitor)
        return Usage(std::string(g.analyzer.file.empty() ? "--analyzer" : "--analyzer-file") +
                     " watches the bus for monitor; " + chosen->get_name() + " does not watch it");
    const CLI::Option* pageOption = chosen->get_option_no_throw("--page");
    memory.pageGiven = pageOption && pageOption->count() > 0;
    reg.maskGiven = maskOption->count() > 0;
    if (g.trace == "-" && (g.json || memory.outputFile == "-"))
        return Usage(std::string(g.json ? "--json" : "-o -") +
                     " and --trace - both want stdout; trace to a file");
    // Checked before the trace is made (which would empty the file) and again
    // after, for an output that did not exist yet under the trace's name.
    std::vector<cli::CommandFile> files{{{}, STDOUT_FILENO, "standard output"}};
    if (chosen == write || chosen == verify)
        files.push_back(memory.inputFile == "-" ? cli::CommandFile{{}, STDIN_FILENO, "standard input"}
                                                : cli::CommandFile{memory.inputFile, -1, "the input (-i)"});
    if (chosen == read && !memory.outputFile.empty() && memory.outputFile != "-")
        files.push_back({memory.outputFile, -1, "the output (-o)"});
    if (chosen == restore && !restoreFile.empty())
        files.push_back({restoreFile, -1, "the backup to restore"});
    if (!g.traffic.empty()) files.push_back({g.traffic, -1, "the --traffic capture"});
    const std::vector<cli::CommandFile> folders{
        {QFile::encodeName(eeprom::BackupFolder()).toStdString(), -1, "the backup folder"},
        {g.benchState.empty() ? startup::DefaultBenchStateFolder() : g.benchState, -1,
         "the bench state folder"}};
    // The waveform is refused as the trace is, and checked before the
    // command runs: a write must not end in a waveform that cannot be saved.
    const cli::ReplacedFile waveform{"--bench-vcd", g.benchVcd, "waveform"};
    if (const std::string clash = cli::OutputClash(waveform, files, folders); !clash.empty())
        return Usage(clash);
    if (!g.benchVcd.empty()) {
        if (const std::string problem = cli::SaveTargetProblem(g.benchVcd); !problem.empty())
            return Usage("--bench-vcd: " + problem);
        files.push_back({g.benchVcd, -1, "the --bench-vcd waveform"});
    }
    const cli::ReplacedFile trace{"--trace", g.trace, "trace"};
    if (const std::string clash = cli::OutputClash(trace, files, folders); !clash.empty())
        return Usage(clash);

    std::vector<startup::BackendOptions> each;
    if (!startup::SplitAdapters(backendOptions, g.adapters, each, error)) return Usage(error);
    if (each.empty()) return cli::Fail(cli::kExitFailed, error);
    if (each.size() > 1) {
        if (chosen != read && chosen != write && chosen != verify && chosen != fill)
            return Usage(chosen->get_name() +
                         " runs on one adapter; read, write, fill and verify run on several");
        if (!g.trace.empty()) {
            const startup::BackendOptions& first = each.front();
            const hardware::AdapterDescriptor* kind =
                first.bench ? first.benchAdapter.adapter->adapter : first.choice.adapter;
            return Usage(std::string("--trace records the parallel adapter, not ") + kind->kindPlural);
        }
        if (chosen == read && (memory.outputFile.empty() || memory.outputFile == "-"))
            return Usage("read on several adapters needs -o FILE (each adapter's data goes to FILE-N)");
        if ((chosen == write || chosen == verify) && memory.inputFile == "-")
            return Usage("several adapters read the input each: -i takes a file, not standard input");
    }

    const std::string stateFolder = g.benchState.empty() ? startup::DefaultBenchStateFolder() : g.benchState;
    std::string holder = "pid " + std::to_string(::getpid()) + ":";
    for (int i = 0; i < argc; ++i) holder += std::string(" ") + (i == 0 ? "merlix-cli" : argv[i]);
    bool toolRan = false;
    const std::string fillValue = memoryCommands.fillValue;
    const auto command = [&, fillValue](cli::CommandContext& context, const cli::MemoryOptions& options) {
        context.command = chosen->get_name();
        if (isTool) {
            toolRan = true;
            return cli::RunI2cTool(context, toolPlan,
                                   context.adapter.empty() ? "Bench I2C adapter" : context.adapter);
        }
        if (g.json && options.outputFile == "-")
            return Usage("--json and -o - both want stdout; save the data to a file");
        if (chosen == probe) return cli::RunProbe(context);
        if (chosen == detect) return cli::RunDetect(context);
        if (chosen == read) return cli::RunRead(context, options);
        if (chosen == write) return cli::RunWrite(context, options);
        if (chosen == restore) return cli::RunRestore(context, options, restoreFile);
        if (chosen == memoryCommands.erase) return cli::RunWrite(context, options);
        if (chosen == memoryCommands.blankCheck) return cli::RunBlankCheck(context, options);
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
        // The i2c-tools end with 1 when the bus cannot be opened.
        return isTool && !toolRan && code ? 1 : code;
    }
    // Each programmer's bench writes a waveform of its own: FILE-N.
    for (startup::BackendOptions& options : each) {
        if (!options.benchVcdFile.empty())
            options.benchVcdFile = cli::NumberedFile(g.benchVcd, startup::SideBySideNumber(options));
    }
    return RunGang(run, each, memory, stateFolder, outcome.data);
}

}  // namespace

int main(int argc, char** argv) {
    RunOutcome outcome;
    std::vector<std::string> link;
    std::vector<char*> words = cli::I2cToolLink(argc, argv, link);
    const int code = Run(static_cast<int>(words.size()), words.data(), outcome);
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
