// The adapter backend of one run, shared by the window and merlix-cli: the
// parallel adapter through direct port I/O or a ppdev device, an i2c-dev bus,
// a spidev node, a CH341A USB programmer, or the simulated bench (with the fake of one of those
// adapters under its real code, --bench-adapter), the port trace, the bus
// capture the bench's second master plays, and the bench's fault switches.
// Each face maps its own command line onto BackendOptions; the choice, the
// notice on stderr and the errors are the same for both.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "simulator/simulated_bench.h"

#include "hardware/bus_interfaces.h"
#include "platform/counter.h"
#include "platform/port_io.h"

namespace platform {
class DeviceSystem;
class TracingPortIo;
}  // namespace platform
namespace hardware {
class Ch341aAdapter;
class I2cDevAdapter;
class SpidevAdapter;
}  // namespace hardware
namespace simulator {
class FakeCh341a;
class FakeI2cDev;
class FakeSpidev;
}  // namespace simulator
namespace platform {
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
    // NAME@N: a fault on the bench of CH341A programmer N only (from 0, as
    // --bench-adapter ch341a:COUNT numbers them).
    struct OnProgrammer {
        bool BenchFaults::*flag = nullptr;
        int programmer = 0;
    };
    std::vector<OnProgrammer> onProgrammer;
    bool Any() const;
    // The faults of programmer `programmer`'s bench: those for all and its own.
    BenchFaults For(int programmer) const;
};

// The kinds of adapter a run can use.
enum class AdapterKind { Parallel, I2cDev, Spidev, Ch341a };

struct BackendOptions {
    // Auto: direct I/O, else ppdev, else the one USB-to-I2C bridge, else the
    // bench. I2cDev and Spidev: the node in `devicePath` (--adapter).
    // Ch341a: the programmer `usbIndex` (--adapter ch341a[:N]).
    enum class Backend { Auto, Bench, Direct, Ppdev, I2cDev, Spidev, Ch341a };
    Backend backend = Backend::Auto;
    simulator::SimulatedBench::Port benchPort = simulator::SimulatedBench::Port::Lpt1;
    std::vector<std::string> ppdevDevices;  // --ppdev DEV1[,DEV2]
    // --adapter lpt1|lpt2: the parallel adapter on that port only (its base);
    // 0 probes LPT1, then LPT2. With it, Auto never takes an i2c-dev bus.
    int parallelPort = 0;
    std::string devicePath;       // --adapter i2c-dev:PATH or spidev:PATH
    int usbIndex = 0;             // --adapter ch341a:N, from 0
    int usbClockHz = 100'000;     // --adapter ch341a:N,400k: its I2C clock
    bool allProgrammers = false;  // --adapter ch341a:all (merlix-cli runs them side by side)
    // --bench-adapter: the adapter whose fake the bench puts under its real
    // code, and the i2c-dev fake's bridge and bus clock.
    AdapterKind benchAdapter = AdapterKind::Parallel;
    bool benchTwoMessages = false;  // i2c-dev:two-message, as the USB-HID bridges
    int benchClockHz = 100'000;     // i2c-dev:400k, ch341a:400k
    // ch341a:COUNT: that many fake programmers, each on a bench of its own;
    // benchProgrammer is the one this backend opens (from 0).
    int benchProgrammers = 1;
    int benchProgrammer = 0;
    std::string traceFile;           // --trace FILE ("-": standard output)
    std::string trafficFile;         // --traffic FILE (bench only)
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
// A comma-separated list of fault names; an unknown name is refused with one
// sentence naming the known ones.
bool ParseBenchFaults(const std::string& list, BenchFaults& faults, std::string& error);
// The name of a fault as --bench-fault takes it ("chip-no-store").
const char* BenchFaultName(bool BenchFaults::*flag);
// False, with one sentence naming the benches a fault acts on, when one of
// `options.faults` cannot act on the bench the options choose: the missing
// adapter and PCF8584 are the parallel adapter's, NAME@N needs programmer N
// of --bench-adapter ch341a:COUNT. ApplyAdapterArguments asks it.
bool FaultsActOnTheBench(const BackendOptions& options, std::string& error);
// The chip list entry `name` stands for, in the list's own spelling, any case.
bool KnownBenchChip(const std::string& name, std::string& chip, std::string& error);
// Splits "DEV1[,DEV2]"; false unless one or two devices are named.
bool ParsePpdevDevices(const std::string& text, std::vector<std::string>& devices, std::string& error);
// --adapter lpt1|lpt2|i2c-dev:/dev/i2c-N|spidev:/dev/spidevB.C|
// ch341a[:N|:all][,20k|100k|400k|750k] into `options` (backend,
// parallelPort, devicePath, usbIndex, usbClockHz).
bool ParseAdapter(const std::string& text, BackendOptions& options, std::string& error);
// --bench-adapter parallel|i2c-dev[:two-message][,400k]|spidev|
// ch341a[:COUNT][,20k|100k|400k|750k]: the bench, with that adapter's fake.
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

// The backends of a run on several CH341A programmers at once: one set of
// options per programmer, each opened by an AdapterBackend of its own
// (--adapter given more than once, ch341a:all, --bench-adapter ch341a:COUNT).
// One entry when the run has one adapter. `usb` lists the programmers for
// ch341a:all (null: the machine's own). False with a sentence for a usage
// error; true with none and the sentence when ch341a:all finds no programmer.
bool SplitAdapters(const BackendOptions& options, const std::vector<std::string>& adapters,
                   std::vector<BackendOptions>& each, std::string& error, platform::UsbSystem* usb = nullptr);
// A short name of the adapter of `options` for tables and sentences:
// "ch341a:0", "bench ch341a:2", "i2c-dev:/dev/i2c-7".
std::string AdapterName(const BackendOptions& options);

// The port backend of one run and the counter that goes with it: the object
// owns both, and whoever builds an adapter or a session on them takes them
// from here (Io(), Clock()); both live as long as the object.
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
    // The adapter the run uses and its bus interfaces (the parallel
    // adapter's are the session's own: Session::Use takes either).
    AdapterKind Kind() const { return kind_; }
    hardware::BusInterfaces Interfaces() const;
    // The bench's fake spidev node (--bench-adapter spidev), else nullptr:
    // the faces strap its ORG pin for the chip chosen, as a technician would.
    simulator::FakeSpidev* FakeSpi() const { return fakeSpi_.get(); }
    // Straps the ORG pin of the bench's spidev or CH341A fake; false when
    // the run has neither (the parallel adapter drives ORG itself).
    bool StrapBenchOrg(bool high) const;
    // The CH341A's once-only warning about 5 V on its data lines, empty on
    // any other adapter and after the first call.
    std::string TakeVoltageWarning();
    // The parallel port the run is held to (--adapter lpt1|lpt2), 0 for both.
    int ParallelPort() const { return parallelPort_; }
    // One line on what the i2c-dev or spidev adapter can do; empty for the
    // parallel adapter.
    std::string Capabilities() const;
    // The machine's devices for the automatic choice of an i2c-dev bus;
    // a test stages its own. Set before Open.
    void UseDevices(platform::DeviceSystem& devices) { devices_ = &devices; }
    // The machine's USB for the CH341A (--adapter ch341a and the automatic
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
    AdapterKind kind_ = AdapterKind::Parallel;
    int parallelPort_ = 0;
    std::unique_ptr<simulator::FakeI2cDev> fakeI2c_;
    std::unique_ptr<simulator::FakeSpidev> fakeSpi_;
    std::unique_ptr<hardware::I2cDevAdapter> i2cDev_;
    std::unique_ptr<hardware::SpidevAdapter> spidev_;
    // The CH341A: the USB system first, the adapter talks through it.
    std::unique_ptr<platform::UsbSystem> usb_;
    std::unique_ptr<simulator::FakeCh341a> fakeUsb_;
    std::unique_ptr<hardware::Ch341aAdapter> ch341a_;
    std::string notice_;
    std::string waveformFile_;
    std::string label_;
    bool fileError_ = false;
    std::function<void(const std::string&)> traceSink_;

    bool OpenI2cDev(platform::DeviceSystem& system, const std::string& path, std::string& error);
    bool OpenSpidev(platform::DeviceSystem& system, const std::string& path, std::string& error);
    bool OpenCh341a(platform::UsbSystem& usb, int index, int clockHz, std::string& error);
    bool OpenBenchAdapter(const BackendOptions& options, std::string& error);
};

}  // namespace startup
