// Opening the adapter of one run; see backend.h. The options are read in
// adapter_options.cpp, the adapters listed in adapter_list.cpp.
#include "startup/backend.h"

#include <cctype>
#include <csignal>
#include <cstdio>

#include "eeprom/file_access.h"
#include "hardware/chip_parts.h"
#include "platform/device_system.h"
#include "platform/port_io.h"
#include "platform/tracing_port_io.h"
#include "platform/usb_system.h"
#include "startup/adapter_list.h"
#include "startup/analyzer_options.h"

namespace startup {

namespace {

using SimBench = simulator::SimulatedBench;

// Adds a reason to a list of them: "no parallel port was found on this
// machine; no USB adapter is connected". Each reason may come as a
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

void AdapterBackend::RecordBusWaveform() const {
    if (bench_ && !bench_->Bus().Waveform()) bench_->Bus().RecordWaveform(true);
}

AdapterBackend::AdapterBackend() : adapter_(PortLevelAdapter().adapter) {}

AdapterBackend::~AdapterBackend() {
    // The adapters first: they talk through the USB system and the bench.
    onBench_.reset();
    opened_.reset();
}

hardware::AdapterSystems AdapterBackend::Systems() {
    return {*counter_, devices_ ? *devices_ : platform::HostDevices(), [this](std::string& error) {
                if (usbSeam_) return usbSeam_;
                if (!usb_ && usbError_.empty()) usb_ = platform::MakeHostUsb(usbError_);
                if (!usb_) error = usbError_;
                return usb_.get();
            }};
}

hardware::OpenedAdapter* AdapterBackend::Opened() const {
    if (onBench_) return onBench_->opened.get();
    return opened_.get();
}

hardware::BusInterfaces AdapterBackend::Interfaces() const {
    hardware::OpenedAdapter* opened = Opened();
    return opened && !opened->Port() ? opened->Interfaces() : hardware::BusInterfaces{};
}

std::unique_ptr<eeprom::Session> AdapterBackend::NewSession(hardware::CounterErrorSink counterErrors) const {
    if (ThroughPorts()) return std::make_unique<eeprom::Session>(Io(), Clock(), std::move(counterErrors));
    return std::make_unique<eeprom::Session>(Interfaces());
}

std::string AdapterBackend::Capabilities() const {
    hardware::OpenedAdapter* opened = Opened();
    return opened ? opened->Capabilities() : std::string();
}

bool AdapterBackend::StrapBenchOrg(bool high) const { return onBench_ && onBench_->StrapOrg(high); }

std::string AdapterBackend::TakeVoltageWarning() {
    hardware::OpenedAdapter* opened = Opened();
    return opened ? opened->TakeVoltageWarning() : std::string();
}

bool AdapterBackend::OpenNamed(const BackendOptions& options, hardware::AdapterSystems& systems,
                               std::string& error) {
    opened_ = options.choice.adapter->open(options.choice, systems, error);
    if (!opened_) return false;
    adapter_ = options.choice.adapter;
    return true;
}

void AdapterBackend::OpenAutomatically(const hardware::AdapterDescriptor* only,
                                       hardware::AdapterSystems& systems, std::string& why) {
    for (const hardware::AdapterDescriptor* adapter : AutomaticOrder()) {
        if (only && adapter != only) continue;
        std::string reason;
        opened_ = adapter->openAutomatically(systems, reason);
        if (opened_) {
            adapter_ = adapter;
            if (!why.empty()) opened_->notice += ", and " + why;
            return;
        }
        Also(why, reason);
    }
}

bool AdapterBackend::OpenBench(const BackendOptions& options, const std::string& why, std::string& error) {
    SimBench::Config config;
    config.port = options.bench ? options.benchPort : SimBench::Port::Lpt1;
    const BenchFaults faults = options.faults.For(options.benchAdapter.which);
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
    if (!options.trafficRate.empty()) {
        long long hz = 0;
        if (options.trafficFile.empty()) {
            error = "--traffic-rate times the transfers of a --traffic capture; give the capture too";
            return false;
        }
        if (!ParseSampleRate(options.trafficRate, hz)) {
            error = "--traffic-rate " + options.trafficRate +
                    ": give the capture's sample rate in Hz, with k, M or G for thousands, millions, "
                    "billions (1M)";
            return false;
        }
        config.captureRateHz = hz;
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
    notice_ = "running on the simulated bench with " + PortName(config.port) + ": " + why;
    const simulator::BenchAdapterDescriptor* fake = options.benchAdapter.adapter;
    adapter_ = PortLevelAdapter().adapter;
    if (options.bench && fake && !fake->portLevel) {
        onBench_ = fake->open(*bench_, options.benchAdapter, *counter_, label_, error);
        if (!onBench_) return false;
        adapter_ = fake->adapter;
        notice_ = "running on the simulated bench through the " + label_ + ": " + why;
    }
    return true;
}

bool AdapterBackend::StartTrace(const BackendOptions& options, platform::PortIo*& io, std::string& error) {
    if (!ThroughPorts()) {
        error = "--trace records the parallel adapter's port accesses; the " + label_ + " has none to record";
        return false;
    }
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
    return true;
}

bool AdapterBackend::Open(const BackendOptions& options, std::string& error) {
    parallelPort_ = HeldParallelPort(options);
    hardware::AdapterSystems systems = Systems();
    std::string why;
    if (options.bench) {
        const simulator::BenchAdapterDescriptor* fake = options.benchAdapter.adapter;
        why = !fake || fake->portLevel ? "--bench was given" : "--bench-adapter was given";
    } else if (const hardware::AdapterDescriptor* named = options.choice.adapter;
               named && !(named->benchWhenAbsent && options.choice.mode.empty())) {
        if (!OpenNamed(options, systems, error)) return false;
    } else {
        // Without --adapter, or with a named adapter that leaves the bench
        // to it when absent (--adapter lpt1): the automatic choice.
        OpenAutomatically(named, systems, why);
    }

    platform::PortIo* io = &nothing_;
    if (opened_) {
        if (opened_->Port()) io = opened_->Port();
        label_ = opened_->label;
        notice_ = opened_->notice;
        if (!options.trafficFile.empty() || !options.trafficRate.empty() || !options.benchChip.empty() ||
            options.faults.Any() || !options.benchVcdFile.empty()) {
            error =
                "--traffic, --traffic-rate, --bench-chip, --bench-fault and --bench-vcd need the simulated "
                "bench";
            return false;
        }
    } else {
        if (!OpenBench(options, why, error)) return false;
        if (!onBench_) io = bench_.get();
    }
    if (!options.traceFile.empty() && !StartTrace(options, io, error)) return false;
    io_ = io;
    return true;
}

}  // namespace startup
