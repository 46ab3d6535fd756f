// The adapters the engine runs on, side by side for suites parameterised over
// them: the parallel adapter on the simulated bench (every transfer through
// the port registers, the latch and the PCF8584), the in-memory adapter over
// the same bus and chip models with no registers at all, and the i2c-dev
// adapter on a fake /dev/i2c-N over the bench's bus (I2C only: it has no
// serial lines). A suite that passes on all of them speaks only the bus
// interfaces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "hardware/i2c_master.h"
#include "hardware/port_adapter.h"
#include "hardware/serial_lines.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/memory_adapter.h"
#include "simulator/simulated_bench.h"
#include "support/serial_socket.h"

namespace testsupport {

enum class AdapterKind { Parallel, Memory, I2cDev };

// The adapters with serial lines as well as an I2C master.
inline const auto kEveryAdapter = ::testing::Values(AdapterKind::Parallel, AdapterKind::Memory);
// Every adapter with an I2C master.
inline const auto kEveryI2cAdapter =
    ::testing::Values(AdapterKind::Parallel, AdapterKind::Memory, AdapterKind::I2cDev);

inline std::string AdapterName(const ::testing::TestParamInfo<AdapterKind>& info) {
    switch (info.param) {
        case AdapterKind::Parallel:
            return "ParallelOnBench";
        case AdapterKind::Memory:
            return "InMemory";
        case AdapterKind::I2cDev:
            return "I2cDevOnBench";
    }
    return "Unknown";
}

class AdapterRig {
public:
    explicit AdapterRig(AdapterKind kind) {
        if (kind == AdapterKind::Memory) {
            memory_ = std::make_unique<simulator::MemoryAdapter>();
            return;
        }
        if (kind == AdapterKind::I2cDev) {
            i2cDev_ = std::make_unique<I2cDev>();
            std::string error;
            EXPECT_TRUE(i2cDev_->adapter.Open(i2cDev_->fake.Path(), error)) << error;
            return;
        }
        parallel_ = std::make_unique<Parallel>();
        hardware::PortAdapter& adapter = parallel_->adapter;
        adapter.SetBase(hardware::kLpt1);
        adapter.SetLatch(0xFD);
        adapter.ConfigurePort();
        adapter.ResetAdapter(0, adapter.Latch());
    }

    hardware::I2cMaster& I2c() {
        if (parallel_) return parallel_->adapter;
        if (i2cDev_) return i2cDev_->adapter;
        return *memory_;
    }
    hardware::SerialLines& Lines() {
        if (parallel_) return parallel_->adapter;
        if (i2cDev_) {
            ADD_FAILURE() << "i2c-dev has no serial lines: run this suite on kEveryAdapter";
            if (!memory_) memory_ = std::make_unique<simulator::MemoryAdapter>();
        }
        return *memory_;
    }

    // Puts the chip of a chip-list entry in the socket (none for "").
    void InsertChip(const std::string& entry) {
        if (simulator::SimulatedBench* bench = Bench()) {
            bench->SetChipListChoice(entry);
            if (entry.empty()) bench->InsertSocketChip(nullptr);
            return;
        }
        memory_->InsertChip(entry);
        if (simulator::SerialChip* chip = memory_->Chip()) {
            chip->SetStoreFault(chipNoStore_);
            if (forcedCycleUs_ > 0) chip->SetWriteCycleUs(forcedCycleUs_);
        }
    }
    std::vector<std::uint8_t>& SocketMemory() {
        return Bench() ? Bench()->SocketChip()->Memory() : memory_->Chip()->Memory();
    }
    std::vector<std::uint8_t>& Eeprom() {
        return Bench() ? Bench()->Eeprom() : memory_->Bus().Eeprom().Memory();
    }
    std::uint8_t Register(std::uint8_t device, std::uint8_t reg) {
        return Bench() ? Bench()->Register(device, reg)
                       : memory_->Bus().FindRegisterDevice(device)->registers[reg];
    }
    // Every write cycle, the EEPROM's and the socket chip's, now and later.
    void ForceWriteCycleUs(std::int64_t us) {
        if (Bench()) return Bench()->ForceWriteCycleUs(us);
        forcedCycleUs_ = us;
        memory_->Bus().Eeprom().SetWriteCycleUs(us);
        if (memory_->Chip()) memory_->Chip()->SetWriteCycleUs(us);
    }
    void SetChipNoStore(bool noStore) {
        if (Bench()) return Bench()->SetChipNoStore(noStore);
        chipNoStore_ = noStore;
        if (memory_->Chip()) memory_->Chip()->SetStoreFault(noStore);
    }
    // What the bus carried since the last call (I2cBus::TakeEvents).
    std::string BusEvents() { return (Bench() ? Bench()->Bus() : memory_->Bus()).TakeEvents(); }
    // Select, clock, data and ORG all high.
    bool LinesIdleHigh() {
        if (!parallel_ && !memory_) return false;
        return parallel_ ? (parallel_->bench.Latch() & 0xF0) == 0xF0
                         : memory_->Lines() == hardware::kAllLines;
    }

private:
    struct Parallel {
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench{clock};
        hardware::PortAdapter adapter{bench, clock};  // after the counter: it reads the frequency
    };
    struct I2cDev {
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench{clock};
        simulator::FakeI2cDev fake{bench};
        hardware::I2cDevAdapter adapter{fake, clock};
    };
    simulator::SimulatedBench* Bench() {
        if (parallel_) return &parallel_->bench;
        return i2cDev_ ? &i2cDev_->bench : nullptr;
    }

    std::unique_ptr<Parallel> parallel_;
    std::unique_ptr<I2cDev> i2cDev_;
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
