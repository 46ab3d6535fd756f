// merlix-cli's options before the command; see global_options.h.
#include "cli/global_options.h"

namespace cli {

namespace {

using Takes = startup::BackendOption::Takes;

CLI::Option* AddBackendOption(CLI::App& app, const startup::BackendOption& row, GlobalOptions& g) {
    const std::string name = std::string("--") + row.name;
    const std::string valueName = row.valueName;
    switch (row.takes) {
        case Takes::Nothing:
            return app.add_flag(name, *row.flag(g), row.help);
        case Takes::OptionalValue:
            return app.add_option(name, *row.text(g), row.help)
                ->expected(0, 1)
                ->type_name("[=" + valueName + "]");
        case Takes::Values:
            return app.add_option(name, *row.list(g), row.help)
                ->type_name(valueName)
                ->allow_extra_args(false);
        case Takes::Value:
            break;
    }
    CLI::Option* option = app.add_option(name, *row.text(g), row.help);
    if (!valueName.empty()) option->type_name(valueName);
    return option;
}

}  // namespace

void AddBackendOptions(CLI::App& app, GlobalOptions& g) {
    for (const startup::BackendOption& row : startup::BackendOptionTable()) {
        if (row.OnCli()) AddBackendOption(app, row, g);
    }
    app.get_option("--port")->check(CLI::IsMember({"lpt1", "lpt2"}, CLI::ignore_case));
}

void AddOutputOptions(CLI::App& app, GlobalOptions& g) {
    app.add_flag("-q,--quiet", g.quiet, "No progress line and no result line");
    app.add_option("--progress", g.progress,
                   "line: one line redrawn in place on a terminal (default); json: one JSON object a line "
                   "on stderr (phase, bytes, total, rate); none")
        ->check(CLI::IsMember({"line", "json", "none"}))
        ->type_name("STYLE");
    app.add_flag("-v,--verbose", g.verbose,
                 "Say every warning each time, not once a day (a USB board's 5 V warning)");
    app.add_flag("--json", g.json, "Print one JSON object on stdout, on success and on failure");
    app.add_flag("--checksum", g.checksum,
                 "Print CRC-32, SHA-256 and the 8-bit sum of the data read or written");
    // Callback flags: a negated flag would show its default ("--no-backup{false}") in --help.
    app.add_flag_callback(
        "--no-backup", [&g] { g.backup = false; }, "Write without first backing the chip's old contents up");
}

void NoteGivenOptions(const CLI::App& app, GlobalOptions& g) {
    for (const startup::BackendOption& row : startup::BackendOptionTable()) {
        if (row.OnCli() && app.count(std::string("--") + row.name) > 0) g.given.insert(row.name);
    }
}

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

}  // namespace cli
