// The backend choice both faces share; see backend.h.
#include "startup/backend.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>

#include "eeprom/chip_table.h"
#include "platform/backend.h"
#include "platform/port_io.h"
#include "platform/tracing_port_io.h"

namespace startup {

namespace {

using SimBench = simulator::SimulatedBench;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string PortName(SimBench::Port port) {
    switch (port) {
        case SimBench::Port::Lpt1:
            return "the adapter on LPT1";
        case SimBench::Port::Lpt2:
            return "the adapter on LPT2";
        case SimBench::Port::None:
            return "no adapter attached";
    }
    return {};
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
    return std::any_of(std::begin(kFaultNames), std::end(kFaultNames),
                       [this](const FaultName& f) { return this->*f.flag; });
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
        const std::string name = Lower(list.substr(from, comma - from));
        from = comma + 1;
        if (name.empty()) continue;  // "a,,b" or a trailing comma: a slip, not a fault
        const auto* known = std::find_if(std::begin(kFaultNames), std::end(kFaultNames),
                                         [&](const FaultName& f) { return name == f.name; });
        if (known == std::end(kFaultNames)) {
            std::string names;
            for (const FaultName& f : kFaultNames) names += std::string(names.empty() ? "" : ", ") + f.name;
            error = "--bench-fault takes " + names + ", not '" + name + "'";
            return false;
        }
        faults.*known->flag = true;
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
    error = "--bench-chip takes " + names + " or " + last + ", not '" + name + "'";
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

AdapterBackend::AdapterBackend() = default;

AdapterBackend::~AdapterBackend() = default;

bool AdapterBackend::Open(const BackendOptions& options, std::string& error) {
    using Backend = BackendOptions::Backend;
    platform::PortIo* io = nullptr;
    std::string why;
    if (options.backend != Backend::Bench) {
        platform::BackendRequest request;
        if (options.backend == Backend::Direct) request.force = platform::BackendRequest::Force::Direct;
        if (options.backend == Backend::Ppdev) {
            request.force = platform::BackendRequest::Force::Ppdev;
            request.ppdevDevices = options.ppdevDevices;
        }
        platform::BackendResult result = platform::ChooseHardwareBackend(request);
        if (result.failed) {
            error = result.reason;
            return false;
        }
        if (result.kind != platform::BackendResult::Kind::Bench && result.io) {
            hardware_ = std::move(result.io);
            io = hardware_.get();
            // Direct I/O is what the program was made for; anything else is
            // named on stderr and in the window caption.
            if (result.kind == platform::BackendResult::Kind::Ppdev) {
                label_ = result.label;
                notice_ = "using " + result.label;
            }
        } else {
            why = result.reason;
        }
    } else {
        why = "--bench was given";
    }

    if (!io) {
        SimBench::Config config;
        config.port = options.backend == Backend::Bench ? options.benchPort : SimBench::Port::Lpt1;
        const BenchFaults& faults = options.faults;
        if (faults.adapterAbsent) config.port = SimBench::Port::None;
        config.controllerPresent = !faults.controllerAbsent;
        config.busHeldBusy = faults.busBusy;
        config.slavesNack = faults.slaveNack;
        config.chipNoStore = faults.chipNoStore;
        config.fixedSocketChip = options.benchChip;
        if (!options.trafficFile.empty()) {
            config.traffic = SimBench::Traffic::Capture;
            config.captureFile = options.trafficFile;
        }
        if (virtualBenchTime_) counter_ = &benchTime_;
        bench_ = std::make_unique<SimBench>(*counter_, config);
        bench_->SetSlowParts(faults.slowParts);
        std::string trafficError;
        if (bench_->TrafficError(trafficError)) {
            error = trafficError;
            fileError_ = true;
            return false;
        }
        io = bench_.get();
        notice_ = "running on the simulated bench with " + PortName(config.port) + ": " + why;
    } else if (!options.trafficFile.empty() || !options.benchChip.empty() || options.faults.Any()) {
        error = "--traffic, --bench-chip and --bench-fault need the simulated bench";
        return false;
    }

    if (!options.traceFile.empty()) {
        trace_ = std::make_unique<platform::TracingPortIo>(*io, options.traceFile,
                                                           bench_ ? options.trafficFile : std::string());
        if (!trace_->Ok()) {
            error = trace_->Error();
            fileError_ = true;
            return false;
        }
        // A trace piped into a reader that quits must stop the trace, not kill
        // the program with SIGPIPE: the failed write is reported instead.
        if (options.traceFile == "-") std::signal(SIGPIPE, SIG_IGN);
        trace_->OnWriteError([this, program = options.program](const std::string& sentence) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), sentence.c_str());
            if (traceSink_) traceSink_(sentence);
        });
        io = trace_.get();
    }
    io_ = io;
    return true;
}

}  // namespace startup
