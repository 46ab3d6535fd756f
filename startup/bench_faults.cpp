// Which bench a --bench-fault acts on: a fault that cannot act on the chosen
// bench is refused rather than taken without effect.
#include <string>

#include "startup/adapter_list.h"
#include "startup/backend.h"

namespace startup {
namespace {

std::string BenchName(const BackendOptions& options) {
    const simulator::BenchAdapterDescriptor* bench = options.benchAdapter.adapter;
    return bench ? bench->benchName : PortLevelAdapter().bench->benchName;
}

// The faults of the parallel adapter itself: no adapter on the port, no
// PCF8584 on the adapter. The other adapters' fakes have neither.
bool ParallelOnly(bool BenchFaults::*flag) {
    return flag == &BenchFaults::adapterAbsent || flag == &BenchFaults::controllerAbsent;
}

}  // namespace

bool FaultsActOnTheBench(const BackendOptions& options, std::string& error) {
    const BenchFaults& faults = options.faults;
    const simulator::BenchAdapterDescriptor* bench = options.benchAdapter.adapter;
    const bool parallel = !bench || bench->portLevel;
    const auto parallelOnly = [&](bool BenchFaults::*flag) {
        error = std::string("--bench-fault ") + BenchFaultName(flag) +
                " acts on the parallel adapter's bench (--bench, --bench-adapter parallel) only, not on " +
                BenchName(options);
        return false;
    };
    for (bool BenchFaults::*flag : {&BenchFaults::adapterAbsent, &BenchFaults::controllerAbsent})
        if (faults.*flag && !parallel) return parallelOnly(flag);
    for (const BenchFaults::OnOne& on : faults.onOne) {
        const std::string named =
            std::string("--bench-fault ") + BenchFaultName(on.flag) + "@" + std::to_string(on.which);
        if (!bench || bench->mostSideBySide <= 1) {
            const simulator::BenchAdapterDescriptor* sideBySide = SideBySideBench();
            error = named + " acts on " + (sideBySide ? sideBySide->unitWords : "adapter") + " " +
                    std::to_string(on.which) + " of --bench-adapter " +
                    (sideBySide ? sideBySide->adapter->name : "") + ":COUNT, not on " + BenchName(options) +
                    " (without @N a fault acts on the whole bench)";
            return false;
        }
        if (ParallelOnly(on.flag)) return parallelOnly(on.flag);
        if (on.which >= options.benchAdapter.count) {
            error = named + " acts on programmer " + std::to_string(on.which) + ", and --bench-adapter " +
                    bench->adapter->name + ":" + std::to_string(options.benchAdapter.count) +
                    " has programmers 0 to " + std::to_string(options.benchAdapter.count - 1);
            return false;
        }
    }
    return true;
}

}  // namespace startup
