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

}  // namespace cli
