// The adapters this program knows, each as its descriptor and its bench
// fake's: the options, the survey, the automatic choice, the window's
// Adapter menu and both faces' help texts are built from this one list.
#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "hardware/adapter_descriptor.h"
#include "simulator/bench_adapter.h"

namespace startup {

struct AdapterEntry {
    const hardware::AdapterDescriptor* adapter;
    const simulator::BenchAdapterDescriptor* bench;
};

// In the order the survey, the menu and the help list them.
std::span<const AdapterEntry> AdapterList();
// Those the automatic choice tries, in its order.
std::vector<const hardware::AdapterDescriptor*> AutomaticOrder();
// The adapter reached through port I/O (--direct, --ppdev), and its bench.
const AdapterEntry& PortLevelAdapter();
// The bench fake that runs side by side (the most of any), or null.
const simulator::BenchAdapterDescriptor* SideBySideBench();

// "the parallel port, else ..., else one USB-to-I2C bridge, else the bench"
std::string AutomaticOrderText();
// --adapter's and --bench-adapter's help: each adapter's syntax with what it means.
std::string AdapterHelp();
std::string BenchAdapterHelp();
// The words a shell may complete --adapter's value with; `nodes` lists the
// /dev entries whose names start with a prefix.
std::vector<std::string> AdapterCompletions(
    const std::function<std::vector<std::string>(const std::string&)>& nodes);

}  // namespace startup
