// The adapter backend of one run, shared by the window and merlix-cli: one
// of the adapters of the adapter list (startup/adapter_list.h), named or
// chosen automatically, or the simulated bench (with the fake of one of those
// adapters under its real code, --bench-adapter), the port trace, the bus
// capture the bench's second master plays, and the bench's fault switches.
// Each face maps its own command line onto BackendOptions; the choice, the
// notice on stderr and the errors are the same for both.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "eeprom/session.h"
#include "hardware/adapter_descriptor.h"
#include "hardware/bus_interfaces.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/bench_adapter.h"
#include "simulator/simulated_bench.h"

namespace platform {
class DeviceSystem;
class TracingPortIo;
class UsbSystem;
}  // namespace platform

namespace startup {

// The bench's fault switches, on from the start (--bench-fault).
struct BenchFaults {
    bool adapterAbsent = false;     // adapter-absent: no adapter on any port
    bool controllerAbsent = false;  // controller-absent: the probe finds nothing
    bool busBusy = false;           // bus-busy: another master holds the bus
    bool slaveNack = false;         // slave-nack: no slave acknowledges
    bool chipNoStore = false;       // chip-no-store: every memory drops writes
    bool slowParts = false;         // slow-parts: the slowest parts the datasheets allow
    // NAME@N: a fault on the bench of adapter N only of those side by side
    // (from 0, as --bench-adapter KIND:COUNT numbers them).
    struct OnOne {
        bool BenchFaults::*flag = nullptr;
        int which = 0;
    };
    std::vector<OnOne> onOne;
    bool Any() const;
    // The faults of adapter `which`'s bench: those for all and its own.
    BenchFaults For(int which) const;
};

struct BackendOptions {
    // The simulated bench (--bench, --bench-adapter), else the adapter of
    // `choice`: the one --adapter, --direct or --ppdev names, or (null
    // adapter) the automatic choice.
    bool bench = false;
    hardware::AdapterChoice choice;
    simulator::SimulatedBench::Port benchPort = simulator::SimulatedBench::Port::Lpt1;
    // --bench-adapter: the adapter whose fake the bench puts under its real
    // code, with its options and which of several side by side this is.
    simulator::BenchChoice benchAdapter;
    std::string traceFile;           // --trace FILE ("-": standard output)
    std::string trafficFile;         // --traffic FILE (bench only)
    std::string trafficRate;         // --traffic-rate HZ: the capture's sample rate, "" when not given
    std::string benchVcdFile;        // --bench-vcd FILE (bench only): the bus's lines, written at the end
    std::string benchChip;           // --bench-chip NAME, as the chip list spells it
    BenchFaults faults;              // --bench-fault (bench only)
    std::string program = "merlix";  // names the program in what it says on stderr
};

// Writes the SCL and SDA waveform `bench` has recorded on its I2C bus to
// `path` as a VCD file, atomically; false with one sentence when the bench
// records none or the file cannot be written.
bool SaveBusWaveform(simulator::SimulatedBench& bench, const std::string& path, std::string& error);

// "lpt1", "lpt2" or "none" in any case; false for anything else.
bool ParseBenchPort(const std::string& text, simulator::SimulatedBench::Port& port);
// The parallel port --adapter lpt1|lpt2 holds the run to (its base), 0 for both.
int HeldParallelPort(const BackendOptions& options);
// A comma-separated list of fault names; an unknown name is refused with one
// sentence naming the known ones.
bool ParseBenchFaults(const std::string& list, BenchFaults& faults, std::string& error);
// The name of a fault as --bench-fault takes it ("chip-no-store").
const char* BenchFaultName(bool BenchFaults::*flag);
// False, with one sentence naming the benches a fault acts on, when one of
// `options.faults` cannot act on the bench the options choose: the missing
// adapter and PCF8584 are the parallel adapter's, NAME@N needs adapter N of
// those side by side. ApplyAdapterArguments asks it.
bool FaultsActOnTheBench(const BackendOptions& options, std::string& error);
// The chip list entry `name` stands for, in the list's own spelling, any case.
bool KnownBenchChip(const std::string& name, std::string& chip, std::string& error);
// Splits "DEV1[,DEV2]"; false unless one or two devices are named.
bool ParsePpdevDevices(const std::string& text, std::vector<std::string>& devices, std::string& error);
// --adapter's value, as one of the adapter list reads it, into `options.choice`.
bool ParseAdapter(const std::string& text, BackendOptions& options, std::string& error);
// --bench-adapter KIND[:OPTIONS]: the bench, with that adapter's fake.
bool ParseBenchAdapter(const std::string& text, BackendOptions& options, std::string& error);
// The adapter options of both faces, given as `present` says (the values
// of --bench's port, --ppdev, --adapter and --bench-adapter), into
// `options`; one sentence when they clash or a value is wrong.
struct AdapterArguments {
    bool bench = false;
    std::string benchPort;  // empty: lpt1
    bool direct = false;
    bool ppdev = false;
    std::string ppdevDevices;
    bool adapter = false;
    std::string adapterName;
    bool benchAdapter = false;
    std::string benchAdapterName;
};
bool ApplyAdapterArguments(const AdapterArguments& arguments, BackendOptions& options, std::string& error);

// The backends of a run on several adapters side by side: one set of
// options per adapter, each opened by an AdapterBackend of its own
// (--adapter given more than once, KIND:all, --bench-adapter KIND:COUNT).
// One entry when the run has one adapter. `usb` lists the adapters for
// KIND:all (null: the machine's own). False with a sentence for a usage
// error; true with none and the sentence when KIND:all finds none.
bool SplitAdapters(const BackendOptions& options, const std::vector<std::string>& adapters,
                   std::vector<BackendOptions>& each, std::string& error, platform::UsbSystem* usb = nullptr);
// A short name of the adapter of `options` for tables and sentences:
// "lpt1", "bench KIND:2", "i2c-dev:/dev/i2c-7".
std::string AdapterName(const BackendOptions& options);
// --adapter's value for the kernel's I2C node `node` ("/dev/i2c-3").
std::string AdapterForKernelNode(const std::string& node);
// Which of several side by side the options open (from 0).
int SideBySideNumber(const BackendOptions& options);
// A name for what is said once a day about this adapter ("KIND-0").
std::string AdapterKey(const BackendOptions& options);

// The adapter backend of one run: the adapter it opened, its port I/O and
// the counter that goes with it. The object owns them, and whoever builds an
// adapter or a session on them takes them from here (NewSession(), Io(),
// Clock()); they live as long as the object.
class AdapterBackend {
public:
    AdapterBackend();
    ~AdapterBackend();
    AdapterBackend(const AdapterBackend&) = delete;
    AdapterBackend& operator=(const AdapterBackend&) = delete;

    // Called with one sentence when the trace cannot be written any more;
    // set before Open. Without it the sentence goes to stderr only.
    void OnTraceWriteError(std::function<void(const std::string&)> sink) { traceSink_ = std::move(sink); }
    // The bench on virtual time rather than the steady clock: a whole-chip
    // write takes what the parts take, without anyone waiting for it in real
    // time. Set before Open; real hardware always runs on the steady clock.
    void UseVirtualTimeOnBench(bool on) { virtualBenchTime_ = on; }

    // Chooses and opens the backend the options ask for. Returns
    // false with one sentence in `error` when a forced backend cannot be
    // used, the trace or capture file cannot be opened, or a bench-only
    // option meets real hardware.
    bool Open(const BackendOptions& options, std::string& error);

    // The port accesses go here (the trace when there is one); before a
    // successful Open, to a port with nothing attached.
    platform::PortIo& Io() const { return *io_; }
    // The counter adapters on Io() keep time by (the bench's own clock).
    platform::Counter& Clock() const { return *counter_; }

    bool OnBench() const { return bench_ != nullptr; }
    // Writes the bus waveform to the --bench-vcd file, recorded since Open;
    // true when written or when none was asked for.
    bool SaveWaveform(std::string& error) const;
    simulator::SimulatedBench* Bench() const { return bench_.get(); }
    // Has the bench record its bus from now on (the window's bench window
    // exports it); nothing off the bench.
    void RecordBusWaveform() const;
    // The adapter the run uses.
    const hardware::AdapterDescriptor* Adapter() const { return adapter_; }
    // A session on the adapter the run uses: the parallel adapter's own part
    // on Io() and Clock() (its counter check reports to `counterErrors`), or
    // the other adapter's bus interfaces. It lives no longer than this object.
    std::unique_ptr<eeprom::Session> NewSession(hardware::CounterErrorSink counterErrors = {}) const;
    // Whether the run's adapter is reached through port I/O (the parallel
    // adapter, with its latch and PCF8584).
    bool ThroughPorts() const { return adapter_->portAccess; }
    // The bus interfaces of an adapter other than the parallel one (none on
    // that one: its session makes its own PortAdapter on Io()).
    hardware::BusInterfaces Interfaces() const;
    // Straps the ORG pin of the bench's fake where the adapter has no ORG
    // line of its own; false when it has nothing to strap (the parallel
    // adapter drives ORG itself).
    bool StrapBenchOrg(bool high) const;
    // The adapter's once-only warning (a board's 5 V data lines), empty on
    // others and after the first call.
    std::string TakeVoltageWarning();
    // The parallel port the run is held to (--adapter lpt1|lpt2), 0 for both.
    int ParallelPort() const { return parallelPort_; }
    // One line on what the adapter can do; empty for the parallel adapter.
    std::string Capabilities() const;
    // The machine's devices for the automatic choice of an i2c-dev bus;
    // a test stages its own. Set before Open.
    void UseDevices(platform::DeviceSystem& devices) { devices_ = &devices; }
    // The machine's USB for the USB adapters (--adapter and the automatic
    // choice); a test puts a fake there. Set before Open.
    void UseUsb(platform::UsbSystem& usb) { usbSeam_ = &usb; }
    // One line for stderr: why the bench was chosen, or which ppdev devices.
    const std::string& Notice() const { return notice_; }
    // A few words naming a backend other than direct I/O and the bench, for
    // the window caption ("ppdev /dev/parport0", "i2c-dev /dev/i2c-7", on
    // the bench "i2c-dev fake"); empty otherwise.
    const std::string& Label() const { return label_; }
    // After a failed Open: whether a file the user named (the trace or the
    // capture) was the trouble, rather than the port.
    bool FileError() const { return fileError_; }

private:
    // The counters first: the bench keeps time by one of them.
    platform::SteadyCounter steadyTime_;
    platform::VirtualCounter benchTime_;
    platform::Counter* counter_ = &steadyTime_;
    bool virtualBenchTime_ = false;
    platform::NullPortIo nothing_;
    std::unique_ptr<platform::PortIo> hardware_;
    std::unique_ptr<simulator::SimulatedBench> bench_;
    std::unique_ptr<platform::TracingPortIo> trace_;
    platform::PortIo* io_ = &nothing_;
    platform::DeviceSystem* devices_ = nullptr;
    platform::UsbSystem* usbSeam_ = nullptr;
    std::unique_ptr<platform::UsbSystem> usb_;  // the machine's own, made when first asked
    std::string usbError_;
    const hardware::AdapterDescriptor* adapter_;
    int parallelPort_ = 0;
    // The adapter opened on the machine, or on the bench through its fake.
    std::unique_ptr<hardware::OpenedAdapter> opened_;
    std::unique_ptr<simulator::BenchAdapter> onBench_;
    std::string notice_;
    std::string waveformFile_;
    std::string label_;
    bool fileError_ = false;
    std::function<void(const std::string&)> traceSink_;

    hardware::AdapterSystems Systems();
    hardware::OpenedAdapter* Opened() const;
    // The adapter the options name; false with a sentence when it cannot be opened.
    bool OpenNamed(const BackendOptions& options, hardware::AdapterSystems& systems, std::string& error);
    // The first the automatic choice finds (among `only` alone when it is
    // given); the reasons for the others are added to `why`.
    void OpenAutomatically(const hardware::AdapterDescriptor* only, hardware::AdapterSystems& systems,
                           std::string& why);
    bool OpenBench(const BackendOptions& options, const std::string& why, std::string& error);
    bool StartTrace(const BackendOptions& options, platform::PortIo*& io, std::string& error);
};

}  // namespace startup
