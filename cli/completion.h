// The words the shells' completion scripts offer (packaging/completions/),
// asked of merlix-cli itself so that they never drift from it:
//   merlix-cli --complete commands | options [COMMAND] | chips | adapters
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

// Prints the words asked for in `what` of merlix-cli's options and commands
// in `app`, one a line; 0, or 2 for a question it does not know.
int PrintCompletions(const std::vector<std::string>& what, CLI::App& app);

}  // namespace cli
