// The survey of this machine's adapters that both faces print
// (`merlix --check-ports`, `merlix-cli ports`): each adapter of the adapter
// list in turn, with its access rights and the fix for each problem; and the
// entries the window's Adapter menu offers.
#pragma once

#include <ostream>
#include <vector>

#include "hardware/adapter_descriptor.h"

namespace startup {

// Prints the report on `out`; the exit status: 0 when an adapter can be used.
int RunAdapterCheck(std::ostream& out);
// What the machine has now, each with the --adapter value it stands for.
std::vector<hardware::AdapterMenuEntry> AdapterMenu();
// Each adapter on the bench, the values as --bench-adapter takes them after "bench:".
std::vector<hardware::AdapterMenuEntry> BenchMenu();

}  // namespace startup
