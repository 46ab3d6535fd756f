// The adapter options both faces share, read into BackendOptions; see backend.h.
#include <algorithm>
#include <cctype>
#include <memory>

#include "eeprom/chip_table.h"
#include "hardware/chip_parts.h"
#include "platform/device_system.h"
#include "platform/usb_system.h"
#include "startup/adapter_list.h"
#include "startup/backend.h"

namespace startup {

namespace {

using SimBench = simulator::SimulatedBench;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "a, b or c"
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    return text;
}

struct FaultName {
    const char* name;
    bool BenchFaults::*flag;
};
constexpr FaultName kFaultNames[] = {
    {"adapter-absent", &BenchFaults::adapterAbsent},
    {"controller-absent", &BenchFaults::controllerAbsent},
    {"bus-busy", &BenchFaults::busBusy},
    {"slave-nack", &BenchFaults::slaveNack},
    {"chip-no-store", &BenchFaults::chipNoStore},
    {"slow-parts", &BenchFaults::slowParts},
};

}  // namespace

bool BenchFaults::Any() const {
    return !onOne.empty() || std::any_of(std::begin(kFaultNames), std::end(kFaultNames),
                                         [this](const FaultName& f) { return this->*f.flag; });
}

const char* BenchFaultName(bool BenchFaults::*flag) {
    for (const FaultName& f : kFaultNames)
        if (f.flag == flag) return f.name;
    return "";
}

BenchFaults BenchFaults::For(int which) const {
    BenchFaults faults = *this;
    faults.onOne.clear();
    for (const OnOne& on : onOne)
        if (on.which == which) faults.*on.flag = true;
    return faults;
}

bool ParseBenchPort(const std::string& text, SimBench::Port& port) {
    const std::string name = Lower(text);
    if (name == "lpt1") {
        port = SimBench::Port::Lpt1;
    } else if (name == "lpt2") {
        port = SimBench::Port::Lpt2;
    } else if (name == "none") {
        port = SimBench::Port::None;
    } else {
        return false;
    }
    return true;
}

bool ParseBenchFaults(const std::string& list, BenchFaults& result, std::string& error) {
    BenchFaults faults = result;  // `result` changes only when the whole list is good
    std::size_t from = 0;
    while (from <= list.size()) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        std::string name = Lower(list.substr(from, comma - from));
        from = comma + 1;
        if (name.empty()) continue;  // "a,,b" or a trailing comma: a slip, not a fault
        int which = -1;
        if (const std::size_t at = name.find('@'); at != std::string::npos) {
            const simulator::BenchAdapterDescriptor* sideBySide = SideBySideBench();
            const int most = sideBySide ? sideBySide->mostSideBySide : 1;
            which = hardware::SmallNumber(name.substr(at + 1), 0, most - 1);
            if (which < 0) {
                error = "--bench-fault NAME@N takes a programmer N from 0 to " + std::to_string(most - 1) +
                        " (--bench-adapter " + (sideBySide ? sideBySide->adapter->name : "") +
                        ":COUNT), not '" + name + "'";
                return false;
            }
            name.resize(at);
        }
        const auto* known = std::find_if(std::begin(kFaultNames), std::end(kFaultNames),
                                         [&](const FaultName& f) { return name == f.name; });
        if (known == std::end(kFaultNames)) {
            std::string names;
            for (const FaultName& f : kFaultNames) names += std::string(names.empty() ? "" : ", ") + f.name;
            error = "--bench-fault takes " + names + ", not '" + name + "'";
            return false;
        }
        if (which >= 0) {
            faults.onOne.push_back({known->flag, which});
        } else {
            faults.*known->flag = true;
        }
    }
    if (!faults.Any()) {
        error = "--bench-fault needs at least one fault name";
        return false;
    }
    result = faults;
    return true;
}

bool KnownBenchChip(const std::string& name, std::string& chip, std::string& error) {
    std::string names;
    std::string last;
    for (const char* entry : eeprom::kChipListEntries) {
        if (*entry == '\0') continue;
        if (Lower(name) == Lower(entry)) {
            chip = entry;
            return true;
        }
        if (!last.empty()) names += (names.empty() ? "" : ", ") + last;
        last = std::string("'") + entry + "'";
    }
    // A 93Cxx as merlix-cli chips prints it (93C66x16), or without its
    // organisation (93C66): the same chip in the serial socket, whose ORG
    // strap decides the words.
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        if (part.family != hardware::ChipFamily::Microwire) continue;
        const std::string bare(part.name);
        if (Lower(name) == Lower(bare) ||
            Lower(name) == Lower(bare + "x" + std::to_string(part.organisation))) {
            chip = part.listText;
            return true;
        }
    }
    // The 24Cxx and 25xx parts by name, into their sockets.
    if (const hardware::ChipPart* part = hardware::FindMemoryPart(name);
        part != nullptr && part->family != hardware::ChipFamily::Microwire) {
        chip = part->name;
        return true;
    }
    error = "--bench-chip takes " + names + ", " + last + " or a part that merlix-cli chips lists, not '" +
            name + "'";
    return false;
}

bool ParsePpdevDevices(const std::string& text, std::vector<std::string>& devices, std::string& error) {
    devices.clear();
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        if (comma > from) devices.push_back(text.substr(from, comma - from));
        from = comma + 1;
    }
    if (devices.empty() || devices.size() > 2) {
        error = "--ppdev takes one or two devices, such as /dev/parport0,/dev/parport1";
        return false;
    }
    return true;
}

bool ParseAdapter(const std::string& text, BackendOptions& options, std::string& error) {
    std::vector<std::string> syntax;
    for (const AdapterEntry& entry : AdapterList()) {
        hardware::AdapterChoice choice;
        switch (entry.adapter->parse(text, choice, error)) {
            case hardware::AdapterDescriptor::Parse::Taken:
                options.bench = false;
                options.choice = choice;
                return true;
            case hardware::AdapterDescriptor::Parse::Refused:
                return false;
            case hardware::AdapterDescriptor::Parse::NotMine:
                break;
        }
        syntax.push_back(entry.adapter->syntax);
    }
    error = "--adapter takes " + Listed(syntax) + ", not '" + text + "'";
    return false;
}

bool ParseBenchAdapter(const std::string& text, BackendOptions& options, std::string& error) {
    const std::string name = Lower(text);
    const std::size_t colon = name.find(':');
    const std::string kind = name.substr(0, colon);
    const std::string given = colon == std::string::npos ? std::string() : name.substr(colon + 1);
    std::vector<std::string> syntax;
    for (const AdapterEntry& entry : AdapterList()) {
        syntax.push_back(entry.bench->syntax);
        if (kind != entry.adapter->name) continue;
        simulator::BenchChoice choice;
        switch (entry.bench->parse(given, colon != std::string::npos, choice, error)) {
            case hardware::AdapterDescriptor::Parse::Taken:
                options.bench = true;
                options.benchAdapter = choice;
                return true;
            case hardware::AdapterDescriptor::Parse::Refused:
                return false;
            case hardware::AdapterDescriptor::Parse::NotMine:
                break;
        }
    }
    error = "--bench-adapter takes " + Listed(syntax) + ", not '" + text + "'";
    return false;
}

bool ApplyAdapterArguments(const AdapterArguments& arguments, BackendOptions& options, std::string& error) {
    int forced = 0;
    hardware::AdapterChoice portLevel;
    portLevel.adapter = PortLevelAdapter().adapter;
    if (arguments.bench) {
        ++forced;
        options.bench = true;
        if (!arguments.benchPort.empty() && !ParseBenchPort(arguments.benchPort, options.benchPort)) {
            error = "--bench takes lpt1, lpt2 or none, not '" + Lower(arguments.benchPort) + "'";
            return false;
        }
    }
    if (arguments.direct) {
        ++forced;
        options.bench = false;
        options.choice = portLevel;
        options.choice.mode = "direct";
    }
    if (arguments.ppdev) {
        ++forced;
        std::vector<std::string> devices;
        if (!ParsePpdevDevices(arguments.ppdevDevices, devices, error)) return false;
        options.bench = false;
        options.choice = portLevel;
        options.choice.mode = "ppdev";
        for (const std::string& device : devices)
            options.choice.path += (options.choice.path.empty() ? "" : ",") + device;
    }
    if (arguments.adapter) {
        ++forced;
        if (!ParseAdapter(arguments.adapterName, options, error)) return false;
    }
    if (forced > 1) {
        error = "--bench, --direct, --ppdev and --adapter exclude each other";
        return false;
    }
    if (arguments.benchAdapter) {
        if (forced > 0 && !arguments.bench) {
            error =
                "--bench-adapter runs on the simulated bench, so it takes no --direct, --ppdev or --adapter";
            return false;
        }
        if (!ParseBenchAdapter(arguments.benchAdapterName, options, error)) return false;
    }
    return FaultsActOnTheBench(options, error);
}

int HeldParallelPort(const BackendOptions& options) {
    return options.choice.adapter && options.choice.adapter->portAccess ? options.choice.index : 0;
}

std::string AdapterName(const BackendOptions& options) {
    const simulator::BenchAdapterDescriptor* bench = options.benchAdapter.adapter;
    if (options.bench) {
        if (!bench || bench->mostSideBySide <= 1) return "bench";
        hardware::AdapterChoice choice;
        choice.adapter = bench->adapter;
        choice.index = options.benchAdapter.which;
        return "bench " + bench->adapter->spell(choice);
    }
    const hardware::AdapterDescriptor* adapter =
        options.choice.adapter ? options.choice.adapter : PortLevelAdapter().adapter;
    return adapter->spell(options.choice);
}

std::string AdapterForKernelNode(const std::string& node) {
    for (const AdapterEntry& entry : AdapterList())
        if (entry.adapter->forKernelNode) return entry.adapter->forKernelNode(node);
    return node;
}

int SideBySideNumber(const BackendOptions& options) {
    return options.bench ? options.benchAdapter.which : options.choice.index;
}

std::string AdapterKey(const BackendOptions& options) {
    const hardware::AdapterDescriptor* adapter = options.bench && options.benchAdapter.adapter
                                                     ? options.benchAdapter.adapter->adapter
                                                     : options.choice.adapter;
    return std::string(adapter ? adapter->name : "") + "-" + std::to_string(SideBySideNumber(options));
}

bool SplitAdapters(const BackendOptions& options, const std::vector<std::string>& adapters,
                   std::vector<BackendOptions>& each, std::string& error, platform::UsbSystem* usb) {
    each.clear();
    if (options.bench && options.benchAdapter.adapter && options.benchAdapter.adapter->mostSideBySide > 1) {
        for (int n = 0; n < options.benchAdapter.count; ++n) {
            each.push_back(options);
            each.back().benchAdapter.which = n;
            each.back().faults = options.faults.For(n);
        }
        return true;
    }
    std::unique_ptr<platform::UsbSystem> host;
    platform::VirtualCounter unused;
    hardware::AdapterSystems systems{unused, platform::HostDevices(), [&](std::string& why) {
                                         if (!usb && !host) host = platform::MakeHostUsb(why);
                                         return usb ? usb : host.get();
                                     }};
    for (const std::string& name : adapters.empty() ? std::vector<std::string>{""} : adapters) {
        BackendOptions one = options;
        if (!name.empty() && !ParseAdapter(name, one, error)) return false;
        if (!one.choice.all) {
            const std::string spelled = AdapterName(one);
            for (const BackendOptions& taken : each) {
                if (AdapterName(taken) == spelled && !name.empty()) {
                    error = "--adapter " + name + " is named twice: each adapter runs once";
                    return false;
                }
            }
            each.push_back(one);
            continue;
        }
        std::vector<hardware::AdapterChoice> found;
        if (!one.choice.adapter->expand || !one.choice.adapter->expand(one.choice, systems, found, error)) {
            each.clear();
            return true;  // none found: the run fails, as without an adapter
        }
        for (const hardware::AdapterChoice& choice : found) {
            one.choice = choice;
            each.push_back(one);
        }
    }
    if (each.size() > 1) {
        std::vector<std::string> kinds;
        for (const AdapterEntry& entry : AdapterList())
            if (entry.adapter->expand) kinds.push_back(entry.adapter->kindPlural);
        for (const BackendOptions& one : each) {
            if (!one.choice.adapter || !one.choice.adapter->expand) {
                error = "--adapter is given more than once only for " + Listed(kinds) + ", not " +
                        AdapterName(one);
                return false;
            }
        }
    }
    return true;
}

}  // namespace startup
