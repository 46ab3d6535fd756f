// The adapters the engine runs on, side by side for suites parameterised over
// them: the parallel adapter on the simulated bench (every transfer through
// the port registers, the latch and the PCF8584), the in-memory adapter over
// the same bus and chip models with no registers at all, and i2c-dev and
// spidev on the bench through their fake nodes (the adapters' real code and
// ioctls; i2c-dev has no serial lines, spidev no I2C), and the CH341A on the
// bench's fake programmer (its real USB packets), once with the serial lines
// through its pins and once through its SPI stream. A suite that passes on
// them speaks only the bus interfaces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hardware/ch341a/ch341a_adapter.h"
#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "hardware/i2c_master.h"
#include "hardware/port_adapter.h"
#include "hardware/serial_lines.h"
#include "hardware/spidev/spidev_adapter.h"
#include "simulator/fake_ch341a.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/fake_spidev.h"
#include "simulator/memory_adapter.h"
#include "simulator/simulated_bench.h"
#include "support/serial_socket.h"

namespace testsupport {

enum class AdapterKind { Parallel, Memory, I2cDev, Spidev, Ch341a, Ch341aSpi };

// The adapters with serial lines as well as an I2C master, every adapter with
// an I2C master, and those that reach the serial socket.
inline const auto kEveryAdapter = ::testing::Values(AdapterKind::Parallel, AdapterKind::Memory);
inline const auto kEveryI2cAdapter =
    ::testing::Values(AdapterKind::Parallel, AdapterKind::Memory, AdapterKind::I2cDev, AdapterKind::Ch341a);
inline const auto kSerialAdapters =
    ::testing::Values(AdapterKind::Parallel, AdapterKind::Memory, AdapterKind::Spidev, AdapterKind::Ch341a,
                      AdapterKind::Ch341aSpi);

inline std::string AdapterName(const ::testing::TestParamInfo<AdapterKind>& info) {
    switch (info.param) {
        case AdapterKind::Parallel:
            return "ParallelOnBench";
        case AdapterKind::Memory:
            return "InMemory";
        case AdapterKind::I2cDev:
            return "I2cDevOnBench";
        case AdapterKind::Spidev:
            return "SpidevOnBench";
        case AdapterKind::Ch341a:
            return "Ch341aOnBench";
        case AdapterKind::Ch341aSpi:
            return "Ch341aSpiOnBench";
    }
    return "Unknown";
}

class AdapterRig {
public:
    explicit AdapterRig(AdapterKind kind, const simulator::FakeSpidev::Config& spidev = {}) {
        if (kind == AdapterKind::Memory) {
            memory_ = std::make_unique<simulator::MemoryAdapter>();
            return;
        }
        bench_ = std::make_unique<Bench>();
        if (kind == AdapterKind::I2cDev) {
            i2cDev_ = std::make_unique<I2cDev>(bench_->bench, bench_->clock);
            std::string error;
            if (!i2cDev_->adapter.Open(i2cDev_->node.Path(), error)) ADD_FAILURE() << error;
            return;
        }
        if (kind == AdapterKind::Spidev) {
            spidev_ = std::make_unique<Spidev>(bench_->bench, bench_->clock, spidev);
            std::string error;
            if (!spidev_->adapter.Open(spidev_->node.Path(), error)) ADD_FAILURE() << error;
            return;
        }
        if (kind == AdapterKind::Ch341a || kind == AdapterKind::Ch341aSpi) {
            ch341a_ = std::make_unique<Ch341a>(bench_->bench, bench_->clock);
            ch341aSpi_ = kind == AdapterKind::Ch341aSpi;
            std::string error;
            if (!ch341a_->adapter.Open(0, error)) ADD_FAILURE() << error;
            return;
        }
        parallel_ = std::make_unique<hardware::PortAdapter>(bench_->bench, bench_->clock);
        parallel_->SetBase(hardware::kLpt1);
        parallel_->SetLatch(0xFD);
        parallel_->ConfigurePort();
        parallel_->ResetAdapter(0, parallel_->Latch());
    }

    // i2c-dev on the bench through a fake that keeps a kernel driver's rules.
    explicit AdapterRig(const platform::I2cDriverRules& driver, std::string busName = "")
        : bench_(std::make_unique<Bench>()) {
        i2cDev_ = std::make_unique<I2cDev>(
            bench_->bench, bench_->clock,
            simulator::FakeI2cDev::Config{.name = std::move(busName), .driver = &driver});
        std::string error;
        if (!i2cDev_->adapter.Open(i2cDev_->node.Path(), error)) ADD_FAILURE() << error;
    }

    hardware::I2cMaster& I2c() {
        if (parallel_) return *parallel_;
        if (memory_) return *memory_;
        if (i2cDev_) return i2cDev_->adapter;
        if (ch341a_) return ch341a_->adapter;
        throw std::logic_error("this adapter has no I2C");
    }
    hardware::SerialLines& Lines() {
        if (parallel_) return *parallel_;
        if (memory_) return *memory_;
        if (ch341a_) return ch341a_->adapter;
        throw std::logic_error("this adapter has no bit-banged lines");
    }
    hardware::BusAdapter& Adapter() {
        if (spidev_) return spidev_->adapter;
        if (i2cDev_) return i2cDev_->adapter;
        return Lines();
    }
    // The SPI master where the suite should use one (spidev, the CH341A's
    // SPI stream), else null.
    hardware::SpiMaster* Spi() {
        if (spidev_) return &spidev_->adapter;
        return ch341aSpi_ ? &ch341a_->adapter : nullptr;
    }
    hardware::SpidevAdapter& SpidevMaster() {
        if (spidev_) return spidev_->adapter;
        throw std::logic_error("not spidev");
    }
    hardware::Ch341aAdapter& Ch341aMaster() {
        if (ch341a_) return ch341a_->adapter;
        throw std::logic_error("not a CH341A");
    }
    simulator::FakeCh341a& Ch341aFake() {
        if (ch341a_) return ch341a_->fake;
        throw std::logic_error("not a CH341A");
    }
    hardware::I2cDevAdapter& I2cDevMaster() {
        if (i2cDev_) return i2cDev_->adapter;
        throw std::logic_error("not i2c-dev");
    }
    simulator::FakeI2cDev& I2cDevNode() {
        if (i2cDev_) return i2cDev_->node;
        throw std::logic_error("not i2c-dev");
    }
    simulator::FakeSpidev& SpidevNode() {
        if (spidev_) return spidev_->node;
        throw std::logic_error("not spidev");
    }

    // Puts the chip of a chip-list entry in the socket (none for ""). On
    // spidev the ORG pin is strapped as the entry says.
    void InsertChip(const std::string& entry) {
        if (spidev_) spidev_->node.StrapOrg(entry.ends_with(" (16)"));
        if (ch341a_) ch341a_->fake.StrapOrg(entry.ends_with(" (16)"));
        if (bench_) {
            bench_->bench.SetChipListChoice(entry);
            if (entry.empty()) bench_->bench.InsertSocketChip(nullptr);
            return;
        }
        memory_->InsertChip(entry);
        if (simulator::SerialChip* chip = memory_->Chip()) {
            chip->SetStoreFault(chipNoStore_);
            if (forcedCycleUs_ > 0) chip->SetWriteCycleUs(forcedCycleUs_);
        }
    }
    // Puts a memory part of the chip table in its socket by name: an I2C
    // part in the I2C socket (the 24C16 off the bus), a 25xx in the serial one.
    void PutPart(const std::string& name) {
        const hardware::ChipPart* part = hardware::FindMemoryPart(name);
        ASSERT_NE(part, nullptr) << name;
        if (bench_) {
            std::string error;
            ASSERT_TRUE(bench_->bench.PutPart(name, error)) << error;
            return;
        }
        if (part->family == hardware::ChipFamily::I2c) {
            memory_->Bus().InsertPart(part);
            if (forcedCycleUs_ > 0) memory_->Bus().Part()->SetWriteCycleUs(forcedCycleUs_);
        } else {
            InsertChip(name);
        }
    }
    // The bytes of the part `name` in its socket.
    std::vector<std::uint8_t>& PartMemory(const std::string& name) {
        if (bench_) return *bench_->bench.PartMemory(name);
        return hardware::FindMemoryPart(name)->family == hardware::ChipFamily::I2c
                   ? memory_->Bus().Part()->Memory()
                   : memory_->Chip()->Memory();
    }
    std::vector<std::uint8_t>& SocketMemory() {
        return bench_ ? bench_->bench.SocketChip()->Memory() : memory_->Chip()->Memory();
    }
    std::vector<std::uint8_t>& Eeprom() {
        return bench_ ? bench_->bench.Eeprom() : memory_->Bus().Eeprom().Memory();
    }
    std::uint8_t Register(std::uint8_t device, std::uint8_t reg) {
        return bench_ ? bench_->bench.Register(device, reg)
                      : memory_->Bus().FindRegisterDevice(device)->registers[reg];
    }
    // Every write cycle, the EEPROM's and the socket chip's, now and later.
    void ForceWriteCycleUs(std::int64_t us) {
        if (bench_) return bench_->bench.ForceWriteCycleUs(us);
        forcedCycleUs_ = us;
        memory_->Bus().Eeprom().SetWriteCycleUs(us);
        if (memory_->Bus().Part()) memory_->Bus().Part()->SetWriteCycleUs(us);
        if (memory_->Chip()) memory_->Chip()->SetWriteCycleUs(us);
    }
    void SetChipNoStore(bool noStore) {
        if (bench_) return bench_->bench.SetChipNoStore(noStore);
        chipNoStore_ = noStore;
        if (memory_->Chip()) memory_->Chip()->SetStoreFault(noStore);
    }
    // What the bus carried since the last call (I2cBus::TakeEvents).
    std::string BusEvents() { return (bench_ ? bench_->bench.Bus() : memory_->Bus()).TakeEvents(); }
    // The lines at rest after a transfer: select, clock, data and ORG all
    // high on the bit-banging adapters; spidev's chip deselected.
    bool LinesAtRest() {
        if (spidev_) return !spidev_->node.Selected();
        if (ch341a_) {
            const std::uint8_t pins = ch341a_->fake.Pins();
            const bool selectHigh = (pins & hardware::Ch341aAdapter::kPinSelect) != 0;
            return ch341aSpi_ ? selectHigh != ch341a_->adapter.SelectActiveHigh()
                              : (pins & 0x29) == 0x29;  // select, clock and data high
        }
        return parallel_ ? (bench_->bench.Latch() & 0xF0) == 0xF0 : memory_->Lines() == hardware::kAllLines;
    }

private:
    struct Bench {
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench{clock};
    };
    struct I2cDev {
        I2cDev(simulator::SimulatedBench& bench, platform::Counter& clock,
               simulator::FakeI2cDev::Config config = {})
            : node(bench, std::move(config)), adapter(node, clock) {}
        simulator::FakeI2cDev node;
        hardware::I2cDevAdapter adapter;
    };
    struct Spidev {
        Spidev(simulator::SimulatedBench& bench, platform::Counter& clock,
               const simulator::FakeSpidev::Config& config)
            : node(bench, config), adapter(node, clock) {}
        simulator::FakeSpidev node;
        hardware::SpidevAdapter adapter;
    };
    struct Ch341a {
        Ch341a(simulator::SimulatedBench& bench, platform::Counter& clock)
            : fake(bench), adapter(fake, clock) {}
        simulator::FakeCh341a fake;
        hardware::Ch341aAdapter adapter;
    };
    std::unique_ptr<Bench> bench_;
    std::unique_ptr<hardware::PortAdapter> parallel_;  // after the counter: it reads the frequency
    std::unique_ptr<I2cDev> i2cDev_;
    std::unique_ptr<Spidev> spidev_;
    std::unique_ptr<Ch341a> ch341a_;
    bool ch341aSpi_ = false;
    std::unique_ptr<simulator::MemoryAdapter> memory_;
    std::int64_t forcedCycleUs_ = 0;
    bool chipNoStore_ = false;
};

// A suite's fixture: one rig per test, on the adapter of the parameter.
class OnEveryAdapter : public ::testing::TestWithParam<AdapterKind> {
protected:
    AdapterRig rig{GetParam()};
};

}  // namespace testsupport
