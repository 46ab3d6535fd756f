// The backend choice both faces share; see backend.h.
#include "startup/backend.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>

#include "eeprom/chip_table.h"
#include "eeprom/file_access.h"
#include "hardware/ch341a/ch341a_adapter.h"
#include "hardware/chip_parts.h"
#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "hardware/port_adapter.h"
#include "hardware/spidev/spidev_adapter.h"
#include "platform/adapter_survey.h"
#include "platform/backend.h"
#include "platform/device_system.h"
#include "platform/port_io.h"
#include "platform/tracing_port_io.h"
#include "platform/usb_system.h"
#include "simulator/fake_ch341a.h"
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

// Adds a reason to a list of them: "no parallel port was found on this
// machine; no CH341A programmer is connected". Each reason may come as a
// sentence of its own; the list reads as one.
void Also(std::string& reasons, std::string more) {
    while (!reasons.empty() && reasons.back() == '.') reasons.pop_back();
    while (!more.empty() && more.back() == '.') more.pop_back();
    if (!more.empty() && more.size() > 1 && std::isupper(static_cast<unsigned char>(more[0])) &&
        std::islower(static_cast<unsigned char>(more[1])))
        more[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(more[0])));
    reasons += (reasons.empty() ? "" : "; ") + more;
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
    return !onProgrammer.empty() || std::any_of(std::begin(kFaultNames), std::end(kFaultNames),
                                                [this](const FaultName& f) { return this->*f.flag; });
}

const char* BenchFaultName(bool BenchFaults::*flag) {
    for (const FaultName& f : kFaultNames)
        if (f.flag == flag) return f.name;
    return "";
}

BenchFaults BenchFaults::For(int programmer) const {
    BenchFaults faults = *this;
    faults.onProgrammer.clear();
    for (const OnProgrammer& on : onProgrammer)
        if (on.programmer == programmer) faults.*on.flag = true;
    return faults;
}

namespace {

// A whole number from `low` to `high` in `text`, nothing else; -1 otherwise.
int SmallNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    const int value = std::stoi(text);
    return value >= low && value <= high ? value : -1;
}

// The most CH341A programmers one bench run may fake.
constexpr int kMostBenchProgrammers = 16;

}  // namespace

bool SaveBusWaveform(SimBench& bench, const std::string& path, std::string& error) {
    const simulator::BusWaveform* waveform = bench.Bus().Waveform();
    if (waveform == nullptr) {
        error = "the bench records its bus only with --bench-vcd or in the window; nothing was written to " +
                path;
        return false;
    }
    const std::string text = simulator::VcdText(*waveform);
    return eeprom::WriteFileAtomically(path, text.data(), static_cast<qint64>(text.size()), error);
}

bool AdapterBackend::SaveWaveform(std::string& error) const {
    return waveformFile_.empty() || !bench_ || SaveBusWaveform(*bench_, waveformFile_, error);
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
        int programmer = -1;
        if (const std::size_t at = name.find('@'); at != std::string::npos) {
            programmer = SmallNumber(name.substr(at + 1), 0, kMostBenchProgrammers - 1);
            if (programmer < 0) {
                error = "--bench-fault NAME@N takes a programmer N from 0 to " +
                        std::to_string(kMostBenchProgrammers - 1) + " (--bench-adapter ch341a:COUNT), not '" +
                        name + "'";
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
        if (programmer >= 0) {
            faults.onProgrammer.push_back({known->flag, programmer});
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
    } else if (name == "ch341a" || name.rfind("ch341a:", 0) == 0) {
        // ch341a[:N|:all][,CLOCK], or ch341a:CLOCK for the first
        std::string which = name.size() > 6 ? name.substr(7) : "0";
        std::string clock = "100k";
        if (const std::size_t comma = which.find(','); comma != std::string::npos) {
            clock = which.substr(comma + 1);
            which.resize(comma);
        } else if (!which.empty() && which.back() == 'k') {
            clock = which;
            which = "0";
        }
        const int index = which == "all" ? 0 : SmallNumber(which, 0, 127);
        const bool knownClock = clock == "20k" || clock == "100k" || clock == "400k" || clock == "750k";
        if (index < 0 || !knownClock) {
            error =
                "--adapter ch341a takes :N (the programmer, from 0) or :all, and an I2C clock ,20k, ,100k, "
                ",400k or ,750k, not '" +
                text + "'";
            return false;
        }
        options.backend = BackendOptions::Backend::Ch341a;
        options.usbIndex = index;
        options.usbClockHz = std::stoi(clock) * 1000;
        options.allProgrammers = which == "all";
    } else {
        error = "--adapter takes lpt1, lpt2, i2c-dev:/dev/i2c-N, spidev:/dev/spidevB.C or ch341a[:N|:all], "
                "not '" +
                text + "'";
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
    parsed.benchProgrammers = 1;
    parsed.benchProgrammer = 0;
    if (kind == "ch341a") {
        parsed.benchAdapter = AdapterKind::Ch341a;
        std::size_t from = colon == std::string::npos ? name.size() + 1 : colon + 1;
        while (from <= name.size()) {
            const std::size_t comma = std::min(name.find(',', from), name.size());
            const std::string option = name.substr(from, comma - from);
            from = comma + 1;
            const int count = SmallNumber(option, 1, kMostBenchProgrammers);
            if (count > 0) {
                parsed.benchProgrammers = count;
            } else if (option == "20k" || option == "100k" || option == "400k" || option == "750k") {
                parsed.benchClockHz = std::stoi(option) * 1000;
            } else {
                error = "--bench-adapter ch341a takes a count of programmers (1 to " +
                        std::to_string(kMostBenchProgrammers) +
                        ") and an I2C clock (20k, 100k, 400k, 750k), not '" + option + "'";
                return false;
            }
        }
    } else if (kind == "parallel" && colon == std::string::npos) {
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
        error = "--bench-adapter takes parallel, i2c-dev[:two-message,400k], spidev or ch341a[:COUNT,400k], "
                "not '" +
                text + "'";
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
    return FaultsActOnTheBench(options, error);
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

bool AdapterBackend::OpenCh341a(platform::UsbSystem& usb, int index, int clockHz, std::string& error) {
    auto adapter = std::make_unique<hardware::Ch341aAdapter>(usb, *counter_);
    if (!adapter->Open(index, error)) return false;
    if (clockHz != adapter->I2cSpeedHz() && !adapter->SetI2cSpeedHz(clockHz)) {
        (void)adapter->TakeIoError(error);
        return false;
    }
    const platform::UsbDeviceInfo& device = adapter->Device();
    label_ = "CH341A " + std::to_string(index) + " (USB bus " + std::to_string(device.bus) + " address " +
             std::to_string(device.address) + ", I2C at " + std::to_string(adapter->I2cSpeedHz() / 1000) +
             " kHz)";
    ch341a_ = std::move(adapter);
    kind_ = AdapterKind::Ch341a;
    return true;
}

bool AdapterBackend::OpenBenchAdapter(const BackendOptions& options, std::string& error) {
    if (options.benchAdapter == AdapterKind::Ch341a) {
        // Each programmer on a bench of its own, at an address of its own, as
        // several on one hub would be.
        simulator::FakeCh341a::Config config;
        config.address = 4 + options.benchProgrammer;
        fakeUsb_ = std::make_unique<simulator::FakeCh341a>(*bench_, config);
        if (!OpenCh341a(*fakeUsb_, 0, options.benchClockHz, error)) return false;
        label_ = "CH341A adapter on its fake programmer " + std::to_string(options.benchProgrammer) +
                 " (USB bus 1 address " + std::to_string(config.address) + ", I2C at " +
                 std::to_string(ch341a_->I2cSpeedHz() / 1000) + " kHz)";
    } else if (options.benchAdapter == AdapterKind::I2cDev) {
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
    } else if (ch341a_) {
        bus.parallel = false;
        bus.i2c = ch341a_.get();
        bus.spi = ch341a_.get();
        bus.lines = ch341a_.get();
    }
    return bus;
}

std::string AdapterBackend::Capabilities() const {
    if (i2cDev_) return i2cDev_->Describe();
    if (spidev_) return spidev_->Describe();
    if (ch341a_) return ch341a_->Describe();
    return {};
}

bool AdapterBackend::StrapBenchOrg(bool high) const {
    if (fakeSpi_) fakeSpi_->StrapOrg(high);
    if (fakeUsb_) fakeUsb_->StrapOrg(high);
    return fakeSpi_ || fakeUsb_;
}

std::string AdapterBackend::TakeVoltageWarning() { return ch341a_ ? ch341a_->TakeVoltageWarning() : ""; }

std::string AdapterName(const BackendOptions& options) {
    using Backend = BackendOptions::Backend;
    switch (options.backend) {
        case Backend::Ch341a:
            return "ch341a:" + std::to_string(options.usbIndex);
        case Backend::I2cDev:
            return "i2c-dev:" + options.devicePath;
        case Backend::Spidev:
            return "spidev:" + options.devicePath;
        case Backend::Bench:
            if (options.benchAdapter == AdapterKind::Ch341a)
                return "bench ch341a:" + std::to_string(options.benchProgrammer);
            return "bench";
        default:
            return options.parallelPort == hardware::kLpt2 ? "lpt2" : "lpt1";
    }
}

bool SplitAdapters(const BackendOptions& options, const std::vector<std::string>& adapters,
                   std::vector<BackendOptions>& each, std::string& error, platform::UsbSystem* usb) {
    each.clear();
    if (options.backend == BackendOptions::Backend::Bench && options.benchAdapter == AdapterKind::Ch341a) {
        for (int n = 0; n < options.benchProgrammers; ++n) {
            each.push_back(options);
            each.back().benchProgrammer = n;
            each.back().faults = options.faults.For(n);
        }
        return true;
    }
    for (const std::string& name : adapters.empty() ? std::vector<std::string>{""} : adapters) {
        BackendOptions one = options;
        if (!name.empty() && !ParseAdapter(name, one, error)) return false;
        if (!one.allProgrammers) {
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
        std::unique_ptr<platform::UsbSystem> host;
        if (!usb) {
            host = platform::MakeHostUsb(error);
            if (!host) {
                each.clear();
                return true;  // no USB: the run fails, as without a programmer
            }
            usb = host.get();
        }
        const std::size_t found = hardware::Ch341aAdapter::List(*usb).size();
        if (found == 0) {
            each.clear();
            error = "--adapter ch341a:all found no CH341A programmer (USB " +
                    platform::UsbId(hardware::Ch341aAdapter::kVendor, hardware::Ch341aAdapter::kProduct) +
                    "): plug one in, and see merlix-cli ports";
            return true;  // no adapter: the run fails, as without a programmer
        }
        for (std::size_t n = 0; n < found; ++n) {
            one.allProgrammers = false;
            one.usbIndex = static_cast<int>(n);
            each.push_back(one);
        }
    }
    if (each.size() > 1) {
        for (const BackendOptions& one : each) {
            if (one.backend != BackendOptions::Backend::Ch341a) {
                error =
                    "--adapter is given more than once only for CH341A programmers, not " + AdapterName(one);
                return false;
            }
        }
    }
    return true;
}

bool AdapterBackend::Open(const BackendOptions& options, std::string& error) {
    using Backend = BackendOptions::Backend;
    parallelPort_ = options.parallelPort;
    platform::DeviceSystem& devices = devices_ ? *devices_ : platform::HostDevices();
    platform::PortIo* io = nullptr;
    std::string why;
    if (options.backend == Backend::Ch341a) {
        if (!usbSeam_) {
            usb_ = platform::MakeHostUsb(error);
            if (!usb_) return false;
        }
        if (!OpenCh341a(usbSeam_ ? *usbSeam_ : *usb_, options.usbIndex, options.usbClockHz, error))
            return false;
        io = &nothing_;
        notice_ = "using " + label_ + " (--adapter)";
    } else if (options.backend == Backend::I2cDev || options.backend == Backend::Spidev) {
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
            Also(why, result.reason);
        }
        // After the parallel port, the one CH341A programmer on the machine.
        if (!io && options.backend == Backend::Auto && options.parallelPort == 0) {
            std::string usbError;
            if (!usbSeam_) usb_ = platform::MakeHostUsb(usbError);
            platform::UsbSystem* usb = usbSeam_ ? usbSeam_ : usb_.get();
            const std::size_t found = usb ? hardware::Ch341aAdapter::List(*usb).size() : 0;
            std::string openError;
            if (found == 1 && OpenCh341a(*usb, 0, 100'000, openError)) {
                io = &nothing_;
                notice_ = "using " + label_ + ": the one CH341A programmer connected, and " + why;
                label_ += ", the one CH341A connected";
            } else if (found == 1) {
                Also(why, openError);
            } else if (found > 1) {
                Also(why, std::to_string(found) +
                              " CH341A programmers are connected: --adapter ch341a:N chooses one");
            } else {
                Also(why, usb ? "no CH341A programmer is connected"
                              : "USB could not be searched for a CH341A programmer (" + usbError + ")");
            }
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
                    Also(why, openError);
                }
            } else {
                Also(why, chosen);
            }
        }
    } else {
        why =
            options.benchAdapter == AdapterKind::Parallel ? "--bench was given" : "--bench-adapter was given";
    }

    if (!io) {
        SimBench::Config config;
        config.port = options.backend == Backend::Bench ? options.benchPort : SimBench::Port::Lpt1;
        const BenchFaults faults = options.faults.For(options.benchProgrammer);
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
        if (!options.benchVcdFile.empty()) bench_->Bus().RecordWaveform(true);
        waveformFile_ = options.benchVcdFile;
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
    } else if (!options.trafficFile.empty() || !options.benchChip.empty() || options.faults.Any() ||
               !options.benchVcdFile.empty()) {
        error = "--traffic, --bench-chip, --bench-fault and --bench-vcd need the simulated bench";
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
