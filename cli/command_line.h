// merlix-cli's sub-commands and where their arguments go, and what the
// parser's words need beyond CLI11: the check for a mistyped word.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/memory_options.h"

namespace cli {

// The sub-commands, declared on one parser; the values point into this
// object, which stays where it is while the parser lives.
struct CommandLine {
    MemoryOptions memory;
    MemoryCommands memoryCommands;
    RegisterOptions reg;
    std::vector<std::string> messages;  // transfer's
    MonitorOptions monitorOptions;
    CLI::App* probe = nullptr;
    CLI::App* ports = nullptr;
    CLI::App* chips = nullptr;
    CLI::App* detect = nullptr;
    CLI::App* set = nullptr;
    CLI::App* get = nullptr;
    CLI::App* dump = nullptr;
    CLI::App* transfer = nullptr;
    CLI::App* monitor = nullptr;
    CLI::Option* mask = nullptr;  // set's --mask
    std::vector<CLI::App*> i2cTools;
};

void AddCommands(CLI::App& app, CommandLine& c);

// The word of the command line (argv[1]...) that names no option or
// sub-command of `app`, said as a sentence; empty when there is none.
std::string UnknownWord(CLI::App& app, int argc, char** argv);

}  // namespace cli
