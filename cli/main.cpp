// merlix-cli: the engine from a terminal and from scripts. It parses the
// command line (CLI11: the options in global_options.cpp, the sub-commands in
// command_line.cpp), checks what the command reads and writes, opens the
// backend both faces share, keeps the bench's chips in the state folder
// between runs, and hands over to the sub-command.
#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include <QtGlobal>
#include "cli/command_line.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/completion.h"
#include "cli/gang.h"
#include "cli/global_options.h"
#include "cli/i2c_tools.h"
#include "cli/memory_options.h"
#include "cli/output_files.h"
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

// Parses the command line; the exit code when the run ends here (help,
// version, a usage error), else nothing.
std::optional<int> Parse(CLI::App& app, int argc, char** argv, RunOutcome& outcome) {
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
        const std::string unknown = cli::UnknownWord(app, argc, argv);
        return Usage(unknown.empty() ? std::string(e.what()) : unknown);
    }
    return std::nullopt;
}

// An i2c-tools command's own arguments and the bus they name; the exit
// code when it ends here.
std::optional<int> PlanI2cTool(const CLI::App& app, GlobalOptions& g, const CLI::App& tool,
                               const std::vector<std::string>& toolArgs, cli::I2cToolPlan& plan) {
    if (g.json) return Usage(tool.get_name() + " prints what i2c-tools print; --json is not for it");
    if (!cli::ParseI2cTool(tool.get_name(), toolArgs, plan)) return plan.code;
    const bool bench = app.count("--bench") || app.count("--bench-adapter");
    const bool picked = bench || !g.adapters.empty() || g.direct || app.count("--ppdev");
    if (const int code = cli::ChooseI2cBus(plan, picked, bench, g.adapters)) return code;
    if (plan.done) return plan.code;
    return std::nullopt;
}

// `ports`: the survey of this machine's own adapters.
int SurveyPorts(const GlobalOptions& g, RunOutcome& outcome) {
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

// The logic analyzer the monitor watches through, if one is asked for; the
// exit code when the options are wrong or the command watches no bus.
std::optional<int> ChooseAnalyzer(const CLI::App& app, const GlobalOptions& g, const CLI::App& chosen,
                                  const cli::CommandLine& c,
                                  std::optional<monitor::AnalyzerSettings>& analyzer) {
    monitor::AnalyzerSettings settings;
    for (const char* name : {"--analyzer", "--analyzer-file", "--analyzer-pins", "--analyzer-rate"}) {
        if (app.count(name) && app.get_option(name)->as<std::string>().empty())
            return Usage(std::string(name) + " needs a value, not an empty text");
    }
    std::string error;
    if (!startup::ParseAnalyzerArguments(g.analyzer, settings, error)) return Usage(error);
    if (g.analyzer.device.empty() && g.analyzer.file.empty()) return std::nullopt;
    if (&chosen != c.monitor)
        return Usage(std::string(g.analyzer.file.empty() ? "--analyzer" : "--analyzer-file") +
                     " watches the bus for monitor; " + chosen.get_name() + " does not watch it");
    analyzer = settings;
    return std::nullopt;
}

// The files the command reads and writes, into `files`, checked against the
// trace and the waveform before either is made; the exit code of a clash.
std::optional<int> CheckFiles(const GlobalOptions& g, const cli::CommandLine& c, const CLI::App* chosen,
                              std::vector<cli::CommandFile>& files) {
    const cli::MemoryOptions& memory = c.memory;
    const cli::MemoryCommands& m = c.memoryCommands;
    if (g.trace == "-" && (g.json || memory.outputFile == "-"))
        return Usage(std::string(g.json ? "--json" : "-o -") +
                     " and --trace - both want stdout; trace to a file");
    // Checked before the trace is made (which would empty the file) and again
    // after, for an output that did not exist yet under the trace's name.
    files = {{{}, STDOUT_FILENO, "standard output"}};
    if (chosen == m.write || chosen == m.verify)
        files.push_back(memory.inputFile == "-" ? cli::CommandFile{{}, STDIN_FILENO, "standard input"}
                                                : cli::CommandFile{memory.inputFile, -1, "the input (-i)"});
    if (chosen == m.read && !memory.outputFile.empty() && memory.outputFile != "-")
        files.push_back({memory.outputFile, -1, "the output (-o)"});
    if (chosen == m.restore && !m.restoreFile.empty())
        files.push_back({m.restoreFile, -1, "the backup to restore"});
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
    return std::nullopt;
}

// Several adapters side by side take only some commands and files; the
// exit code of one they do not take.
std::optional<int> CheckSideBySide(const GlobalOptions& g, const cli::CommandLine& c, const CLI::App* chosen,
                                   const std::vector<startup::BackendOptions>& each) {
    if (each.size() < 2) return std::nullopt;
    const cli::MemoryOptions& memory = c.memory;
    const cli::MemoryCommands& m = c.memoryCommands;
    if (chosen != m.read && chosen != m.write && chosen != m.verify && chosen != m.fill)
        return Usage(chosen->get_name() +
                     " runs on one adapter; read, write, fill and verify run on several");
    if (!g.trace.empty()) {
        const startup::BackendOptions& first = each.front();
        const hardware::AdapterDescriptor* kind =
            first.bench ? first.benchAdapter.adapter->adapter : first.choice.adapter;
        return Usage(std::string("--trace records the parallel adapter, not ") + kind->kindPlural);
    }
    if (chosen == m.read && (memory.outputFile.empty() || memory.outputFile == "-"))
        return Usage("read on several adapters needs -o FILE (each adapter's data goes to FILE-N)");
    if ((chosen == m.write || chosen == m.verify) && memory.inputFile == "-")
        return Usage("several adapters read the input each: -i takes a file, not standard input");
    return std::nullopt;
}

// The sub-command `chosen`, on the adapter of `context`.
int RunCommand(const cli::CommandLine& c, const CLI::App* chosen, bool json, cli::CommandContext& context,
               const cli::MemoryOptions& options) {
    const cli::MemoryCommands& m = c.memoryCommands;
    if (json && options.outputFile == "-")
        return Usage("--json and -o - both want stdout; save the data to a file");
    if (chosen == c.probe) return cli::RunProbe(context);
    if (chosen == c.detect) return cli::RunDetect(context);
    if (chosen == m.read) return cli::RunRead(context, options);
    if (chosen == m.write) return cli::RunWrite(context, options);
    if (chosen == m.restore) return cli::RunRestore(context, options, m.restoreFile);
    if (chosen == m.erase) return cli::RunWrite(context, options);
    if (chosen == m.blankCheck) return cli::RunBlankCheck(context, options);
    if (chosen == m.verify) return cli::RunVerify(context, options);
    if (chosen == m.fill) {
        long value = 0;
        if (!cli::ParseNumber(m.fillValue, 0, 255, value))
            return Usage("--value is a byte, 0..255 or 0x00..0xFF, not '" + m.fillValue + "'");
        cli::MemoryOptions filled = options;
        filled.fillValue = static_cast<int>(value);
        return cli::RunWrite(context, filled);
    }
    if (chosen == c.set) return cli::RunSet(context, c.reg);
    if (chosen == c.get) return cli::RunGet(context, c.reg);
    if (chosen == c.dump) return cli::RunDump(context, c.reg);
    if (chosen == c.transfer) return cli::RunTransfer(context, c.messages);
    if (chosen == c.monitor) return cli::RunMonitor(context, c.monitorOptions);
    return static_cast<int>(cli::kExitOk);
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
    cli::CommandLine c;
    cli::AddCommands(app, c);

    // For the shells' completion scripts; not listed in --help.
    if (argc >= 2 && std::string(argv[1]) == "--complete")
        return cli::PrintCompletions({argv + 2, argv + argc}, app);
    if (const std::optional<int> code = Parse(app, argc, argv, outcome)) return *code;
    CLI::App* const chosen = app.get_subcommands().front();
    outcome.json = g.json;
    outcome.command = chosen->get_name();
    cli::NoteGivenOptions(app, g);

    cli::I2cToolPlan toolPlan;
    const bool isTool = std::find(c.i2cTools.begin(), c.i2cTools.end(), chosen) != c.i2cTools.end();
    if (isTool) {
        if (const std::optional<int> code = PlanI2cTool(app, g, *chosen, toolArgs, toolPlan)) return *code;
    }
    startup::BackendOptions backendOptions;
    backendOptions.program = "merlix-cli";
    std::string error;
    if (!cli::BackendOptionsFrom(g, app, backendOptions, error)) return Usage(error);
    if (c.chips->parsed()) return cli::RunChips(g.json, outcome.data);
    if (c.ports->parsed()) return SurveyPorts(g, outcome);

    AdapterRun run{g, std::nullopt, {}, {}};
    if (const std::optional<int> code = ChooseAnalyzer(app, g, *chosen, c, run.analyzer)) return *code;
    const CLI::Option* pageOption = chosen->get_option_no_throw("--page");
    c.memory.pageGiven = pageOption && pageOption->count() > 0;
    c.reg.maskGiven = c.mask->count() > 0;
    std::vector<cli::CommandFile> files;
    if (const std::optional<int> code = CheckFiles(g, c, chosen, files)) return *code;
    std::vector<startup::BackendOptions> each;
    if (!startup::SplitAdapters(backendOptions, g.adapters, each, error)) return Usage(error);
    if (each.empty()) return cli::Fail(cli::kExitFailed, error);
    if (const std::optional<int> code = CheckSideBySide(g, c, chosen, each)) return *code;

    const std::string stateFolder = g.benchState.empty() ? startup::DefaultBenchStateFolder() : g.benchState;
    run.holder = "pid " + std::to_string(::getpid()) + ":";
    for (int i = 0; i < argc; ++i) run.holder += std::string(" ") + (i == 0 ? "merlix-cli" : argv[i]);
    bool toolRan = false;
    run.command = [&](cli::CommandContext& context, const cli::MemoryOptions& options) {
        context.command = chosen->get_name();
        if (!isTool) return RunCommand(c, chosen, g.json, context, options);
        toolRan = true;
        return cli::RunI2cTool(context, toolPlan,
                               context.adapter.empty() ? "Bench I2C adapter" : context.adapter);
    };
    if (each.size() == 1) {
        const int code = RunOnAdapter(run, each.front(), c.memory, stateFolder, files, outcome.data);
        // The i2c-tools end with 1 when the bus cannot be opened.
        return isTool && !toolRan && code ? 1 : code;
    }
    // Each adapter's bench writes a waveform of its own: FILE-N.
    for (startup::BackendOptions& options : each) {
        if (!options.benchVcdFile.empty())
            options.benchVcdFile = cli::NumberedFile(g.benchVcd, startup::SideBySideNumber(options));
    }
    return RunGang(run, each, c.memory, stateFolder, outcome.data);
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
