// The memory sub-commands of merlix-cli's command line (read, write, restore,
// verify, fill, erase, blank-check) and their options, filling one
// MemoryOptions.
#pragma once

#include <string>

#include "cli/commands.h"

namespace CLI {
class App;
}

namespace cli {

struct MemoryCommands {
    CLI::App* read = nullptr;
    CLI::App* write = nullptr;
    CLI::App* restore = nullptr;
    CLI::App* verify = nullptr;
    CLI::App* fill = nullptr;
    CLI::App* erase = nullptr;
    CLI::App* blankCheck = nullptr;
    std::string restoreFile;         // restore's FILE
    std::string fillValue = "0xFF";  // fill's --value, as typed
};

// Adds the commands to `app`, their options writing into `memory`.
void AddMemoryCommands(CLI::App& app, MemoryOptions& memory, MemoryCommands& commands);

}  // namespace cli
