// An adapter's real code on the bench, through its fake at the system's
// boundary (--bench-adapter): each fake registers one of these beside it, as
// its adapter's folder ends with its AdapterDescriptor.
#pragma once

#include <memory>
#include <string>

#include "hardware/adapter_descriptor.h"
#include "platform/counter.h"

namespace simulator {

class SimulatedBench;
struct BenchAdapterDescriptor;

// --bench-adapter's value: which adapter, and its fake's options.
struct BenchChoice {
    const BenchAdapterDescriptor* adapter = nullptr;  // null: the parallel adapter's own bench
    bool twoMessages = false;                         // i2c-dev:two-message, as the USB-HID bridges
    int clockHz = 100'000;                            // the fake's bus clock
    int count = 1;                                    // that many side by side, each on a bench of its own
    int which = 0;                                    // the one this run opens (from 0)
};

// The adapter opened on its fake; the fake lives as long as the adapter.
class BenchAdapter {
public:
    virtual ~BenchAdapter() = default;
    // Straps the fake's ORG pin, as a technician straps the real board
    // (the adapter has no ORG line); false when it has nothing to strap.
    virtual bool StrapOrg(bool /*high*/) { return false; }
    // The adapter's real code; null for the parallel adapter, whose port
    // accesses go to the bench itself.
    std::unique_ptr<hardware::OpenedAdapter> opened;
};

struct BenchAdapterDescriptor {
    const hardware::AdapterDescriptor* adapter;
    // As --bench-adapter's refusal lists it ("i2c-dev[:two-message,400k]") and
    // what it means for --help ("i2c-dev (:two-message ...)").
    const char* syntax;
    const char* help;
    // The bench in sentences ("the i2c-dev bench").
    const char* benchName;
    // The bench's own parallel port, with the adapter's and the PCF8584's faults.
    bool portLevel = false;
    // How many may run side by side, and one of them in sentences ("... programmer").
    int mostSideBySide = 1;
    const char* unitWords = "";
    // The window's Adapter menu: "text|choice" pairs, the choices as --bench-adapter takes them.
    const char* const* menu = nullptr;
    // The options after the name and its colon (`given`: there was a colon).
    hardware::AdapterDescriptor::Parse (*parse)(const std::string& options, bool given, BenchChoice& choice,
                                                std::string& error) = nullptr;
    std::unique_ptr<BenchAdapter> (*open)(SimulatedBench& bench, const BenchChoice& choice,
                                          platform::Counter& clock, std::string& label,
                                          std::string& error) = nullptr;
};

// The parallel adapter on the bench's own port.
extern const BenchAdapterDescriptor kParallelOnTheBench;

}  // namespace simulator
