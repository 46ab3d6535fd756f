// An example for each sub-command's --help: what a technician types first.
#pragma once

#include <string>

namespace cli {

// "Example:\n  merlix-cli read --chip 24C256 -o dump.bin" and the like;
// empty for a command without one.
std::string CommandExample(const std::string& command);

}  // namespace cli
