// The adapters the engine runs on, side by side for suites parameterised over
// them: the parallel adapter on the simulated bench (every transfer through
// the port registers, the latch and the PCF8584) and the in-memory adapter
// over the same bus and chip models with no registers at all. A suite that
// passes on both speaks only the bus interfaces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hardware/i2c_master.h"
#include "hardware/port_adapter.h"
#include "hardware/serial_lines.h"
#include "simulator/memory_adapter.h"
#include "simulator/simulated_bench.h"
#include "support/serial_socket.h"

namespace testsupport {

enum class AdapterKind { Parallel, Memory };

inline const auto kEveryAdapter = ::testing::Values(AdapterKind::Parallel, AdapterKind::Memory);

inline std::string AdapterName(const ::testing::TestParamInfo<AdapterKind>& info) {
    return info.param == AdapterKind::Parallel ? "ParallelOnBench" : "InMemory";
}

class AdapterRig {
public:
    explicit AdapterRig(AdapterKind kind) {
        if (kind == AdapterKind::Memory) {
            memory_ = std::make_unique<simulator::MemoryAdapter>();
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
        return *memory_;
    }
    hardware::SerialLines& Lines() {
        if (parallel_) return parallel_->adapter;
        return *memory_;
    }

    // Puts the chip of a chip-list entry in the socket (none for "").
    void InsertChip(const std::string& entry) {
        if (parallel_) {
            parallel_->bench.SetChipListChoice(entry);
            if (entry.empty()) parallel_->bench.InsertSocketChip(nullptr);
            return;
        }
        memory_->InsertChip(entry);
        if (simulator::SerialChip* chip = memory_->Chip()) {
            chip->SetStoreFault(chipNoStore_);
            if (forcedCycleUs_ > 0) chip->SetWriteCycleUs(forcedCycleUs_);
        }
    }
    std::vector<std::uint8_t>& SocketMemory() {
        return parallel_ ? parallel_->bench.SocketChip()->Memory() : memory_->Chip()->Memory();
    }
    std::vector<std::uint8_t>& Eeprom() {
        return parallel_ ? parallel_->bench.Eeprom() : memory_->Bus().Eeprom().Memory();
    }
    std::uint8_t Register(std::uint8_t device, std::uint8_t reg) {
        return parallel_ ? parallel_->bench.Register(device, reg)
                         : memory_->Bus().FindRegisterDevice(device)->registers[reg];
    }
    // Every write cycle, the EEPROM's and the socket chip's, now and later.
    void ForceWriteCycleUs(std::int64_t us) {
        if (parallel_) return parallel_->bench.ForceWriteCycleUs(us);
        forcedCycleUs_ = us;
        memory_->Bus().Eeprom().SetWriteCycleUs(us);
        if (memory_->Chip()) memory_->Chip()->SetWriteCycleUs(us);
    }
    void SetChipNoStore(bool noStore) {
        if (parallel_) return parallel_->bench.SetChipNoStore(noStore);
        chipNoStore_ = noStore;
        if (memory_->Chip()) memory_->Chip()->SetStoreFault(noStore);
    }
    // What the bus carried since the last call (I2cBus::TakeEvents).
    std::string BusEvents() { return (parallel_ ? parallel_->bench.Bus() : memory_->Bus()).TakeEvents(); }
    // Select, clock, data and ORG all high.
    bool LinesIdleHigh() {
        return parallel_ ? (parallel_->bench.Latch() & 0xF0) == 0xF0
                         : memory_->Lines() == hardware::kAllLines;
    }

private:
    struct Parallel {
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench{clock};
        hardware::PortAdapter adapter{bench, clock};  // after the counter: it reads the frequency
    };
    std::unique_ptr<Parallel> parallel_;
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
