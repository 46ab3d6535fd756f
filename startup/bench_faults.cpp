// Which bench a --bench-fault acts on: a fault that cannot act on the chosen
// bench is refused rather than taken without effect.
#include <string>

#include "startup/backend.h"

namespace startup {
namespace {

std::string BenchName(const BackendOptions& options) {
    switch (options.benchAdapter) {
        case AdapterKind::Parallel:
            return "the parallel adapter's bench";
        case AdapterKind::I2cDev:
            return "the i2c-dev bench";
        case AdapterKind::Spidev:
            return "the spidev bench";
        case AdapterKind::Ch341a:
            return "the CH341A bench";
    }
    return {};
}

// The faults of the parallel adapter itself: no adapter on the port, no
// PCF8584 on the adapter. The other adapters' fakes have neither.
bool ParallelOnly(bool BenchFaults::*flag) {
    return flag == &BenchFaults::adapterAbsent || flag == &BenchFaults::controllerAbsent;
}

}  // namespace

bool FaultsActOnTheBench(const BackendOptions& options, std::string& error) {
    const BenchFaults& faults = options.faults;
    const bool parallel = options.benchAdapter == AdapterKind::Parallel;
    const auto parallelOnly = [&](bool BenchFaults::*flag) {
        error = std::string("--bench-fault ") + BenchFaultName(flag) +
                " acts on the parallel adapter's bench (--bench, --bench-adapter parallel) only, not on " +
                BenchName(options);
        return false;
    };
    for (bool BenchFaults::*flag : {&BenchFaults::adapterAbsent, &BenchFaults::controllerAbsent})
        if (faults.*flag && !parallel) return parallelOnly(flag);
    for (const BenchFaults::OnProgrammer& on : faults.onProgrammer) {
        const std::string named =
            std::string("--bench-fault ") + BenchFaultName(on.flag) + "@" + std::to_string(on.programmer);
        if (options.benchAdapter != AdapterKind::Ch341a) {
            error = named + " acts on CH341A programmer " + std::to_string(on.programmer) +
                    " of --bench-adapter ch341a:COUNT, not on " + BenchName(options) +
                    " (without @N a fault acts on the whole bench)";
            return false;
        }
        if (ParallelOnly(on.flag)) return parallelOnly(on.flag);
        if (on.programmer >= options.benchProgrammers) {
            error = named + " acts on programmer " + std::to_string(on.programmer) +
                    ", and --bench-adapter ch341a:" + std::to_string(options.benchProgrammers) +
                    " has programmers 0 to " + std::to_string(options.benchProgrammers - 1);
            return false;
        }
    }
    return true;
}

}  // namespace startup
