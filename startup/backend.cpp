// The backend choice both faces share; see backend.h.
#include "startup/backend.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>

#include "eeprom/chip_table.h"
#include "hardware/chip_parts.h"
#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "hardware/port_adapter.h"
#include "hardware/spidev/spidev_adapter.h"
#include "platform/adapter_survey.h"
#include "platform/backend.h"
#include "platform/device_system.h"
#include "platform/port_io.h"
#include "platform/tracing_port_io.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/fake_spidev.h"

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
    const std::string name = Lower(text);
    const auto pathAfter = [&](const std::string& prefix) {
        return name.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : std::string();
    };
    if (name == "lpt1" || name == "lpt2") {
        options.backend = BackendOptions::Backend::Auto;
        options.parallelPort = name == "lpt1" ? hardware::kLpt1 : hardware::kLpt2;
    } else if (const std::string path = pathAfter("i2c-dev:"); !path.empty()) {
        options.backend = BackendOptions::Backend::I2cDev;
        options.devicePath = path;
    } else if (const std::string node = pathAfter("spidev:"); !node.empty()) {
        options.backend = BackendOptions::Backend::Spidev;
        options.devicePath = node;
    } else {
        error = "--adapter takes lpt1, lpt2, i2c-dev:/dev/i2c-N or spidev:/dev/spidevB.C, not '" + text + "'";
        return false;
    }
    return true;
}

bool ParseBenchAdapter(const std::string& text, BackendOptions& options, std::string& error) {
    const std::string name = Lower(text);
    const std::size_t colon = name.find(':');
    const std::string kind = name.substr(0, colon);
    BackendOptions parsed = options;
    parsed.benchTwoMessages = false;
    parsed.benchClockHz = 100'000;
    if (kind == "parallel" && colon == std::string::npos) {
        parsed.benchAdapter = AdapterKind::Parallel;
    } else if (kind == "spidev" && colon == std::string::npos) {
        parsed.benchAdapter = AdapterKind::Spidev;
    } else if (kind == "i2c-dev") {
        parsed.benchAdapter = AdapterKind::I2cDev;
        std::size_t from = colon == std::string::npos ? name.size() + 1 : colon + 1;
        while (from <= name.size()) {
            const std::size_t comma = std::min(name.find(',', from), name.size());
            const std::string option = name.substr(from, comma - from);
            from = comma + 1;
            if (option == "two-message") {
                parsed.benchTwoMessages = true;
            } else if (option == "400k" || option == "100k") {
                parsed.benchClockHz = option == "400k" ? 400'000 : 100'000;
            } else {
                error = "--bench-adapter i2c-dev takes the options two-message, 100k and 400k, not '" +
                        option + "'";
                return false;
            }
        }
    } else {
        error = "--bench-adapter takes parallel, i2c-dev[:two-message,400k] or spidev, not '" + text + "'";
        return false;
    }
    parsed.backend = BackendOptions::Backend::Bench;
    options = parsed;
    return true;
}

bool ApplyAdapterArguments(const AdapterArguments& arguments, BackendOptions& options, std::string& error) {
    using Backend = BackendOptions::Backend;
    int forced = 0;
    if (arguments.bench) {
        ++forced;
        options.backend = Backend::Bench;
        if (!arguments.benchPort.empty() && !ParseBenchPort(arguments.benchPort, options.benchPort)) {
            error = "--bench takes lpt1, lpt2 or none, not '" + Lower(arguments.benchPort) + "'";
            return false;
        }
    }
    if (arguments.direct) {
        ++forced;
        options.backend = Backend::Direct;
    }
    if (arguments.ppdev) {
        ++forced;
        options.backend = Backend::Ppdev;
        if (!ParsePpdevDevices(arguments.ppdevDevices, options.ppdevDevices, error)) return false;
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
    return true;
}

AdapterBackend::AdapterBackend() = default;

AdapterBackend::~AdapterBackend() = default;

bool AdapterBackend::OpenI2cDev(platform::DeviceSystem& system, const std::string& path, std::string& error) {
    auto adapter = std::make_unique<hardware::I2cDevAdapter>(system, *counter_);
    if (!adapter->Open(path, error)) return false;
    i2cDev_ = std::move(adapter);
    kind_ = AdapterKind::I2cDev;
    label_ = "i2c-dev " + path;
    return true;
}

bool AdapterBackend::OpenSpidev(platform::DeviceSystem& system, const std::string& path, std::string& error) {
    auto adapter = std::make_unique<hardware::SpidevAdapter>(system, *counter_);
    if (!adapter->Open(path, error)) return false;
    spidev_ = std::move(adapter);
    kind_ = AdapterKind::Spidev;
    label_ = "spidev " + path;
    return true;
}

bool AdapterBackend::OpenBenchAdapter(const BackendOptions& options, std::string& error) {
    if (options.benchAdapter == AdapterKind::I2cDev) {
        simulator::FakeI2cDev::Config config;
        config.twoMessagesOnly = options.benchTwoMessages;
        config.clockHz = options.benchClockHz;
        fakeI2c_ = std::make_unique<simulator::FakeI2cDev>(*bench_, config);
        if (!OpenI2cDev(*fakeI2c_, fakeI2c_->Path(), error)) return false;
        label_ = "i2c-dev adapter on its fake " + fakeI2c_->Path() + " (" +
                 std::to_string(config.clockHz / 1000) + " kHz" +
                 (config.twoMessagesOnly ? ", two messages per transfer as a USB-HID bridge" : "") + ")";
    } else {
        fakeSpi_ = std::make_unique<simulator::FakeSpidev>(*bench_);
        if (!OpenSpidev(*fakeSpi_, fakeSpi_->Path(), error)) return false;
        label_ = "spidev adapter on its fake " + fakeSpi_->Path();
    }
    return true;
}

hardware::BusInterfaces AdapterBackend::Interfaces() const {
    hardware::BusInterfaces bus;
    if (i2cDev_) {
        bus.parallel = false;
        bus.i2c = i2cDev_.get();
    } else if (spidev_) {
        bus.parallel = false;
        bus.spi = spidev_.get();
    }
    return bus;
}

std::string AdapterBackend::Capabilities() const {
    if (i2cDev_) return i2cDev_->Describe();
    if (spidev_) return spidev_->Describe();
    return {};
}

bool AdapterBackend::Open(const BackendOptions& options, std::string& error) {
    using Backend = BackendOptions::Backend;
    parallelPort_ = options.parallelPort;
    platform::DeviceSystem& devices = devices_ ? *devices_ : platform::HostDevices();
    platform::PortIo* io = nullptr;
    std::string why;
    if (options.backend == Backend::I2cDev || options.backend == Backend::Spidev) {
        const bool opened = options.backend == Backend::I2cDev
                                ? OpenI2cDev(devices, options.devicePath, error)
                                : OpenSpidev(devices, options.devicePath, error);
        if (!opened) return false;
        io = &nothing_;
        notice_ = "using " + label_ + " (--adapter)";
        for (const platform::I2cDevBus& bus : platform::ListI2cDevBuses(devices)) {
            if (options.backend != Backend::I2cDev || bus.path != options.devicePath ||
                bus.kind == platform::I2cDevBus::Kind::UsbBridge ||
                bus.kind == platform::I2cDevBus::Kind::BoardController)
                continue;
            notice_ +=
                "; " + bus.path + " (" + bus.name + ") is " + platform::I2cBusKindText(bus.kind) +
                ", where a PC's memory modules and display may keep data at 0x50: write only to what you "
                "put on this bus yourself";
        }
    } else if (options.backend != Backend::Bench) {
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
        // After the parallel port, an i2c-dev bus, but only one that cannot
        // be a PC's own SMBus or display bus (adapter_survey.h).
        if (!io && options.backend == Backend::Auto && options.parallelPort == 0) {
            std::string chosen;
            const std::vector<platform::I2cDevBus> buses = platform::ListI2cDevBuses(devices);
            if (const platform::I2cDevBus* bus = platform::AutomaticI2cBus(buses, chosen)) {
                std::string openError;
                if (OpenI2cDev(devices, bus->path, openError)) {
                    io = &nothing_;
                    notice_ = "using " + label_ + ": " + chosen + ", and " + why;
                    label_ += ", the one USB-to-I2C bridge";  // the caption says why too
                } else {
                    why += "; " + openError;
                }
            } else {
                why += "; " + chosen;
            }
        }
    } else {
        why =
            options.benchAdapter == AdapterKind::Parallel ? "--bench was given" : "--bench-adapter was given";
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
        // A chip list text stays in the serial socket; a part by name goes into its own socket.
        const bool listed = hardware::FindChipPart(options.benchChip) != nullptr;
        if (listed) config.fixedSocketChip = options.benchChip;
        if (!options.trafficFile.empty()) {
            config.traffic = SimBench::Traffic::Capture;
            config.captureFile = options.trafficFile;
        }
        if (virtualBenchTime_) counter_ = &benchTime_;
        bench_ = std::make_unique<SimBench>(*counter_, config);
        bench_->SetSlowParts(faults.slowParts);
        if (!listed && !options.benchChip.empty() && !bench_->PutPart(options.benchChip, error)) return false;
        std::string trafficError;
        if (bench_->TrafficError(trafficError)) {
            error = trafficError;
            fileError_ = true;
            return false;
        }
        io = bench_.get();
        notice_ = "running on the simulated bench with " + PortName(config.port) + ": " + why;
        if (options.benchAdapter != AdapterKind::Parallel) {
            if (!OpenBenchAdapter(options, error)) return false;
            io = &nothing_;
            notice_ = "running on the simulated bench through the " + label_ + ": " + why;
        }
    } else if (!options.trafficFile.empty() || !options.benchChip.empty() || options.faults.Any()) {
        error = "--traffic, --bench-chip and --bench-fault need the simulated bench";
        return false;
    }

    if (!options.traceFile.empty() && kind_ != AdapterKind::Parallel) {
        error = "--trace records the parallel adapter's port accesses; the " + label_ + " has none to record";
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
