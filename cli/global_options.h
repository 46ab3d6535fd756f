// merlix-cli's options before the command: the backend options both faces
// share (startup/option_table.h), generated into the CLI11 parser, and the
// command line's own (progress, JSON, checksums, backups).
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "startup/backend.h"
#include "startup/option_table.h"

namespace cli {

struct GlobalOptions : startup::BackendArguments {
    bool quiet = false;
    std::string progress = "line";  // --progress: line (on a terminal), json or none
    bool verbose = false;
    bool json = false;
    bool checksum = false;
    bool backup = true;
};

// Declares the options on `app`, their values going to `g`: the backend
// options, then (after --version) those of the output.
void AddBackendOptions(CLI::App& app, GlobalOptions& g);
void AddOutputOptions(CLI::App& app, GlobalOptions& g);
// After the parse: notes in `g.given` the backend options the command line gave.
void NoteGivenOptions(const CLI::App& app, GlobalOptions& g);

// Maps the options onto the shared backend options; false with a sentence.
bool BackendOptionsFrom(const GlobalOptions& g, const CLI::App& app, startup::BackendOptions& options,
                        std::string& error);

}  // namespace cli
