// The survey of this machine's adapters that both faces print
// (`merlix --check-ports`, `merlix-cli ports`): parallel ports with the
// probe of "Reset PCF" on each one it can reach, i2c-dev buses, spidev nodes
// and CH341A programmers, each with its access rights and the fix.
#pragma once

#include <ostream>

namespace startup {

// Prints the report on `out`; the exit status: 0 when an adapter can be used.
int RunAdapterCheck(std::ostream& out);

}  // namespace startup
