// The simulated bench: the parallel port with its ECR modes and EPP cycles,
// the output latch and the serial chip socket, wired to the PCF8584 model,
// the I2C bus and the second master.
#include "simulator/simulated_bench.h"

#include <utility>

#include "platform/port_registers.h"
#include "simulator/bench_clock.h"
#include "simulator/i2c_bus.h"
#include "simulator/pcf8584_model.h"
#include "simulator/second_master.h"

namespace simulator {
namespace {

using platform::kConfigData;
using platform::kConfigIndex;
using platform::kControlPort;
using platform::kDataPort;
using platform::kEcr;
using platform::kEppAddress;
using platform::kEppData;
using platform::kStatusPort;

constexpr std::uint8_t kInit = 0x04;       // control bit 2: /INIT, the latch strobe
constexpr std::uint8_t kDirection = 0x20;  // control bit 5: data lines as inputs (byte mode)
constexpr std::uint8_t kModeMask = 0xE0;   // ECR mode field
constexpr std::uint8_t kModeByte = 0x20;
constexpr std::uint8_t kModeEpp = 0x80;
constexpr std::uint8_t kStatusLines = 0x87;  // the status inputs the adapter leaves alone
constexpr std::uint8_t kSerialIn = 0x08;
constexpr std::uint32_t kIdleReadsPerClockCheck = 256;
constexpr std::int64_t kCountsPerAccess = platform::VirtualCounter::kFrequency / 1'000'000;  // 1 us
constexpr std::size_t kConfigWritesKept = 4096;

std::uint16_t BaseOf(SimulatedBench::Port port) {
    switch (port) {
        case SimulatedBench::Port::Lpt1:
            return 0x378;
        case SimulatedBench::Port::Lpt2:
            return 0x278;
        case SimulatedBench::Port::None:
            break;
    }
    return 0;
}

}  // namespace

struct SimulatedBench::Impl {
    explicit Impl(platform::Counter& counter) : clock(counter) {}

    // The idle status read comes first: it is the one the monitor makes
    // 100000 times a pass.
    std::uint16_t fastPort = 0;
    std::uint32_t fastReads = 0;  // idle reads left before the clock is consulted again
    std::uint8_t fastValue = 0xFF;
    std::uint32_t fastGiven = 0;  // what fastReads was when last granted

    Config config;
    BenchClock clock;
    I2cBus bus;
    SecondMaster master{bus, clock};
    Pcf8584 pcf{bus, master, clock};
    std::string trafficError;

    std::uint16_t base = 0;
    std::uint8_t control = 0x0C;  // /INIT high, SELECT IN, as after power-up
    std::uint8_t ecr = 0x00;
    std::uint8_t dataLines = 0;
    std::uint8_t latch = 0;
    bool probeMissPending = false;  // controllerSlowStart: the next S0 read is wrong
    std::uint64_t latchLoads = 0;
    std::uint8_t latchSeenHigh = 0;
    std::uint8_t latchSeenLow = 0xFF;
    std::uint8_t configIndex = 0;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> configWrites;

    CycleDraw draw;
    std::int64_t eepromDrawnUs = 0;
    std::int64_t socketDrawnUs = 0;
    std::int64_t partDrawnUs = 0;  // the I2C socket's part
    std::int64_t forcedCycleUs = 0;

    std::unique_ptr<SerialChip> socket;
    std::string socketText;
    bool socketInserted = false;
    std::string chipListChoice;

    bool Epp() const { return (ecr & kModeMask) == kModeEpp; }
    bool ControllerReached() const { return Epp() && config.controllerPresent; }
    bool LinesReversed() const { return (ecr & kModeMask) == kModeByte && (control & kDirection); }

    // Decides whether the next S1 reads may be answered without calling in.
    void Refresh() {
        if (base != 0 && ControllerReached() && pcf.Quiet()) {
            fastPort = static_cast<std::uint16_t>(base + kEppAddress);
            fastValue = pcf.QuietS1();
            fastReads = kIdleReadsPerClockCheck;
        } else {
            fastReads = 0;
        }
        fastGiven = fastReads;
    }

    // On the virtual counter every port access costs about what it costs on
    // a real port, 1 us, so that timed behaviour per access (the demo's pace
    // per monitor pass, write cycles against polling) is the real one. The
    // idle reads answered on the fast path are charged here, in one go.
    void ChargeAccesses() {
        const std::int64_t accesses = 1 + fastGiven - fastReads;
        fastGiven = fastReads;
        clock.Charge(accesses);
        clock.counter().Advance(accesses * kCountsPerAccess);
    }

    std::uint8_t In(std::uint16_t port) {
        ChargeAccesses();
        if (base == 0 || port < base) return 0xFF;
        std::uint8_t value = 0xFF;
        switch (port - base) {
            case kDataPort:
                value = LinesReversed() ? 0xFF : dataLines;
                break;
            case kStatusPort:
                value = static_cast<std::uint8_t>(kStatusLines | (SerialDataOut() ? kSerialIn : 0));
                break;
            case kControlPort:
                value = control;
                break;
            case kEppAddress:
                if (ControllerReached()) dataLines = value = pcf.ReadS1();
                break;
            case kEppData:
                if (ControllerReached()) {
                    value = pcf.ReadS0();
                    // The probe's read-back, the first S0 read after power-up.
                    if (probeMissPending) value = static_cast<std::uint8_t>(~value);
                    probeMissPending = false;
                    dataLines = value;
                }
                break;
            case kEcr:
                value = ecr;
                break;
            default:
                break;
        }
        Refresh();
        return value;
    }

    void Out(std::uint16_t port, std::uint8_t value) {
        ChargeAccesses();
        if (port == kConfigIndex || port == kConfigData) {
            // The board's configuration pair is outside the adapter: recorded
            // whatever sits on the parallel port.
            if (port == kConfigIndex) {
                configIndex = value;
            } else {
                if (configWrites.size() >= kConfigWritesKept)
                    configWrites.erase(configWrites.begin(), configWrites.begin() + kConfigWritesKept / 2);
                configWrites.emplace_back(configIndex, value);
            }
            return;
        }
        if (base == 0 || port < base) return;
        switch (port - base) {
            case kDataPort:
                dataLines = value;
                break;
            case kControlPort: {
                const bool rising = !(control & kInit) && (value & kInit);
                control = value;
                if (rising) LoadLatch();
                break;
            }
            case kEppAddress:
                if (Epp()) dataLines = value;
                if (ControllerReached()) pcf.WriteS1(value);
                break;
            case kEppData:
                if (Epp()) dataLines = value;
                if (ControllerReached()) pcf.WriteS0(value);
                break;
            case kEcr:
                ecr = value;
                break;
            default:
                break;
        }
        Refresh();
    }

    void LoadLatch() {
        latch = LinesReversed() ? 0xFF : dataLines;
        ++latchLoads;
        latchSeenHigh |= latch;
        latchSeenLow |= static_cast<std::uint8_t>(~latch);
        if (socket) socket->OnLatch(latch, clock.NowUs());
    }

    bool SerialDataOut() {
        // With no chip the data-out line floats high.
        return socket ? socket->DataOut(clock.NowUs()) : true;
    }

    std::int64_t CycleUs(const WriteCycleRange& range, std::int64_t drawnUs) const {
        if (forcedCycleUs > 0) return forcedCycleUs;
        return config.slowParts ? range.slowestUs : drawnUs;
    }

    void ApplyCycles() {
        bus.Eeprom().SetWriteCycleUs(CycleUs(kI2cEepromCycle, eepromDrawnUs));
        if (socket) socket->SetWriteCycleUs(CycleUs(socket->CycleRange(), socketDrawnUs));
        if (I2cMemory* part = bus.Part()) {
            const std::int64_t slowest = part->Part().writeCycleMaxUs;
            part->SetWriteCycleUs(CycleUs({kI2cEepromCycle.fromUs, slowest, slowest}, partDrawnUs));
        }
    }

    void FollowSocket() {
        const std::string& wanted = config.fixedSocketChip.empty() ? chipListChoice : config.fixedSocketChip;
        if (socket && wanted == socketText && !socketInserted) return;
        socketInserted = false;
        std::unique_ptr<SerialChip> chip = MakeSerialChip(wanted);
        // Another organisation of the same chip is the same chip on the bench:
        // its contents stay.
        if (chip && socket && chip->Name() == socket->Name() &&
            chip->Memory().size() == socket->Memory().size())
            chip->Memory() = socket->Memory();
        if (chip) chip->SetStoreFault(config.chipNoStore);
        // A new part in the socket is a new draw; the same part in another
        // organisation keeps its time.
        if (chip && !(socket && chip->Name() == socket->Name()))
            socketDrawnUs = draw.Draw(chip->CycleRange());
        socket = std::move(chip);
        socketText = wanted;
        ApplyCycles();
    }

    void LoadTraffic() {
        trafficError.clear();
        std::vector<BusTransfer> transfers;
        std::vector<std::uint64_t> starts;
        if (config.traffic == Traffic::Capture) {
            std::string error;
            if (!ParseCaptureFile(config.captureFile, transfers, error, &starts))
                trafficError = error;
            else if (config.captureRateHz > 0 && starts.empty())
                trafficError =
                    "the capture file " + config.captureFile +
                    " has no sample numbers (\"1234-5678 i2c-1: Start\"), so --traffic-rate cannot "
                    "time its transfers";
        }
        master.SetSource(config.traffic, std::move(transfers), std::move(starts), config.captureRateHz);
    }
};

SimulatedBench::SimulatedBench(platform::Counter& counter) : SimulatedBench(counter, Config{}) {}

SimulatedBench::SimulatedBench(platform::Counter& counter, Config config)
    : impl_(std::make_unique<Impl>(counter)) {
    Impl& m = *impl_;
    m.config = std::move(config);
    m.base = BaseOf(m.config.port);
    m.bus.eepromPresent = m.config.eepromPresent;
    m.bus.slavesNack = m.config.slavesNack;
    m.bus.Eeprom().SetStoreFault(m.config.chipNoStore);
    m.bus.SetRegisterDevices(m.config.registerDevices);
    m.config.registerDevices = m.bus.RegisterDeviceAddresses();
    m.pcf.SetHeldBusy(m.config.busHeldBusy);
    m.probeMissPending = m.config.controllerSlowStart;
    m.draw.Reseed(m.config.seed);
    m.eepromDrawnUs = m.draw.Draw(kI2cEepromCycle);
    m.LoadTraffic();
    m.FollowSocket();
    m.ApplyCycles();
    m.Refresh();
}

SimulatedBench::~SimulatedBench() = default;

std::uint8_t SimulatedBench::In(std::uint16_t port) {
    Impl& m = *impl_;
    if (port == m.fastPort && m.fastReads != 0) {
        --m.fastReads;
        return m.fastValue;
    }
    return m.In(port);
}

void SimulatedBench::Out(std::uint16_t port, std::uint8_t value) { impl_->Out(port, value); }

const SimulatedBench::Config& SimulatedBench::config() const { return impl_->config; }

void SimulatedBench::SetPort(Port port) {
    impl_->config.port = port;
    impl_->base = BaseOf(port);
    impl_->Refresh();
}

void SimulatedBench::SetControllerPresent(bool present) {
    Impl& m = *impl_;
    if (present && !m.config.controllerPresent) {
        m.pcf.PowerUp();  // a controller put back starts from reset
        m.probeMissPending = m.config.controllerSlowStart;
    }
    m.config.controllerPresent = present;
    m.Refresh();
}

void SimulatedBench::SetControllerSlowStart(bool slow) { impl_->config.controllerSlowStart = slow; }

void SimulatedBench::SetBusHeldBusy(bool busy) {
    impl_->config.busHeldBusy = busy;
    impl_->pcf.SetHeldBusy(busy);
    impl_->Refresh();
}

void SimulatedBench::SetSlavesNack(bool nack) {
    impl_->config.slavesNack = nack;
    impl_->bus.slavesNack = nack;
}

void SimulatedBench::SetChipNoStore(bool noStore) {
    impl_->config.chipNoStore = noStore;
    impl_->bus.Eeprom().SetStoreFault(noStore);
    if (impl_->bus.Part()) impl_->bus.Part()->SetStoreFault(noStore);
    if (impl_->socket) impl_->socket->SetStoreFault(noStore);
}

void SimulatedBench::SetSlowParts(bool slow) {
    impl_->config.slowParts = slow;
    impl_->ApplyCycles();
}

void SimulatedBench::ForceWriteCycleUs(std::int64_t us) {
    impl_->forcedCycleUs = us;
    impl_->ApplyCycles();
}

std::int64_t SimulatedBench::EepromWriteCycleUs() const { return impl_->bus.Eeprom().WriteCycleUs(); }

std::int64_t SimulatedBench::SocketWriteCycleUs() const {
    return impl_->socket ? impl_->socket->WriteCycleUs() : 0;
}

bool SimulatedBench::SlowParts() const { return impl_->config.slowParts; }

SimulatedBench::Port SimulatedBench::AdapterPort() const { return impl_->config.port; }
std::uint8_t SimulatedBench::Latch() const { return impl_->latch; }
std::uint8_t SimulatedBench::Ecr() const { return impl_->ecr; }

std::uint8_t SimulatedBench::StatusRegister() const {
    if (impl_->base == 0) return 0xFF;
    return static_cast<std::uint8_t>(kStatusLines | (impl_->SerialDataOut() ? kSerialIn : 0));
}

const std::vector<std::pair<std::uint8_t, std::uint8_t>>& SimulatedBench::ConfigWrites() const {
    return impl_->configWrites;
}

std::uint64_t SimulatedBench::LatchLoads() const { return impl_->latchLoads; }

void SimulatedBench::TakeLatchActivity(std::uint8_t& high, std::uint8_t& low) {
    Impl& m = *impl_;
    high = static_cast<std::uint8_t>(m.latchSeenHigh | m.latch);
    low = static_cast<std::uint8_t>(m.latchSeenLow | ~m.latch);
    m.latchSeenHigh = m.latch;
    m.latchSeenLow = static_cast<std::uint8_t>(~m.latch);
}

std::vector<std::uint8_t>& SimulatedBench::Eeprom() { return impl_->bus.Eeprom().Memory(); }

void SimulatedBench::SetEepromPresent(bool present) {
    impl_->config.eepromPresent = present;
    impl_->bus.eepromPresent = present;
}

std::vector<std::uint8_t> SimulatedBench::RegisterDevices() const {
    return impl_->bus.RegisterDeviceAddresses();
}

std::uint8_t SimulatedBench::Register(std::uint8_t device, std::uint8_t reg) const {
    const RegisterDevice* d = impl_->bus.FindRegisterDevice(device);
    return d ? d->registers[reg] : 0xFF;
}

void SimulatedBench::SetRegister(std::uint8_t device, std::uint8_t reg, std::uint8_t value) {
    if (RegisterDevice* d = impl_->bus.FindRegisterDevice(device)) d->registers[reg] = value;
}

std::uint64_t SimulatedBench::RegisterWrites() const { return impl_->bus.registerWrites; }

void SimulatedBench::QueueTransfer(const BusTransfer& transfer) {
    impl_->master.Queue(transfer);
    impl_->Refresh();
}

void SimulatedBench::SetTraffic(Traffic traffic, const std::string& captureFile) {
    impl_->config.traffic = traffic;
    impl_->config.captureFile = captureFile;
    impl_->LoadTraffic();
    impl_->Refresh();
}

bool SimulatedBench::TrafficError(std::string& error) const {
    if (impl_->trafficError.empty()) return false;
    error = impl_->trafficError;
    return true;
}

std::uint64_t SimulatedBench::TransfersPlayed() const { return impl_->master.Played(); }

bool SimulatedBench::CapturePlayedOut() const { return impl_->master.CapturePlayedOut(); }

void SimulatedBench::RestartTraffic() {
    impl_->master.Restart(impl_->clock.NowUs());
    impl_->Refresh();
}

bool SimulatedBench::MonitorSetupInForce() const { return impl_->pcf.MonitorSetupInForce(); }

void SimulatedBench::SetChipListChoice(const std::string& chipListText) {
    impl_->chipListChoice = chipListText;
    impl_->FollowSocket();
}

void SimulatedBench::SetFixedSocketChip(const std::string& chipListText) {
    impl_->config.fixedSocketChip = chipListText;
    impl_->FollowSocket();
}

void SimulatedBench::InsertSocketChip(std::unique_ptr<SerialChip> chip) {
    impl_->socket = std::move(chip);
    impl_->socketInserted = true;
    // A ready-made chip keeps its own time unless one is forced.
    if (impl_->socket && impl_->forcedCycleUs > 0) impl_->socket->SetWriteCycleUs(impl_->forcedCycleUs);
    if (impl_->socket) impl_->socket->SetStoreFault(impl_->config.chipNoStore);
}

SerialChip* SimulatedBench::SocketChip() { return impl_->socket.get(); }

bool SimulatedBench::PutPart(const std::string& name, std::string& error, std::uint8_t i2cBase) {
    Impl& m = *impl_;
    if (name.empty()) {
        m.bus.InsertPart(nullptr);
        return true;
    }
    const hardware::ChipPart* part = hardware::FindMemoryPart(name);
    if (part == nullptr) {
        error = "'" + name + "' is no memory part of the chip table";
        return false;
    }
    if (part->family != hardware::ChipFamily::I2c) {
        SetFixedSocketChip(std::string(part->name));
        return true;
    }
    m.bus.InsertPart(part, i2cBase);
    m.bus.Part()->SetStoreFault(m.config.chipNoStore);
    const std::int64_t slowest = part->writeCycleMaxUs;
    m.partDrawnUs = m.draw.Draw({kI2cEepromCycle.fromUs, slowest, slowest});
    m.ApplyCycles();
    return true;
}

I2cMemory* SimulatedBench::I2cPart() { return impl_->bus.Part(); }

std::vector<std::uint8_t>* SimulatedBench::PartMemory(const std::string& name) {
    const hardware::ChipPart* part = hardware::FindMemoryPart(name);
    if (part == nullptr) return nullptr;
    if (part->family == hardware::ChipFamily::I2c) {
        I2cMemory* memory = impl_->bus.Part();
        return memory != nullptr && memory->Part().name == part->name ? &memory->Memory() : nullptr;
    }
    SerialChip* chip = impl_->socket.get();
    return chip != nullptr && chip->Name() == part->name ? &chip->Memory() : nullptr;
}

I2cBus& SimulatedBench::Bus() { return impl_->bus; }

bool SimulatedBench::BusHeldBusy() const { return impl_->config.busHeldBusy; }

std::int64_t SimulatedBench::NowUs() { return impl_->clock.NowUs(); }

void SimulatedBench::Spend(std::int64_t us) {
    if (us <= 0) return;
    impl_->clock.Charge(us);
    impl_->clock.counter().Advance(us * kCountsPerAccess);
}

std::vector<DacChannel> SimulatedBench::DacChannels() const {
    std::vector<DacChannel> channels;
    if (impl_->socket) channels = impl_->socket->Channels();
    if (channels.empty()) channels.resize(12);
    return channels;
}

}  // namespace simulator
