// An adapter with no port behind it: the bus interfaces answered straight by
// the bench's bus and chip models. It has what a USB bridge or an i2c-dev bus
// gives the engine (whole I2C transfers, batches of serial-line steps, its
// own clock) and none of the parallel adapter's registers, so the engine's
// transfers run on it exactly as they would on such an adapter.
//
// Time is its own: every clock read moves it on by a microsecond, a byte on
// the bus takes nine bit times at 100 kHz, a line change or a sample a
// microsecond, and a sleep the whole sleep; the chips' write cycles run
// against it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hardware/i2c_master.h"
#include "hardware/serial_lines.h"
#include "simulator/i2c_bus.h"
#include "simulator/serial_chip.h"

namespace simulator {

class MemoryAdapter final : public hardware::I2cMaster, public hardware::SerialLines {
public:
    static constexpr int kBusClockHz = 100'000;
    static constexpr std::int64_t kByteUs = 90;  // nine bit times

    MemoryAdapter();

    std::int64_t NowUs() override;
    void SleepMs(int ms) override;

    hardware::I2cResult Transfer(std::span<const hardware::I2cMessage> messages) override;
    bool WaitForFreeBus() override { return true; }
    void Prepare() override {}
    void Recover() override {}
    hardware::I2cCapabilities Capabilities() const override;

    std::vector<std::uint8_t> Run(std::span<const hardware::LineStep> steps) override;

    I2cBus& Bus() { return bus_; }
    // The socket's chip for a chip-list entry ("93C46 (8)", "AT25C160"); an
    // empty socket for a blank or unknown one.
    void InsertChip(const std::string& chipListEntry);
    SerialChip* Chip() { return chip_.get(); }
    // The output lines as the kSelectLine... mask.
    std::uint8_t Lines() const { return lines_; }

private:
    void Change(std::uint8_t lines, std::uint8_t levels);
    std::uint8_t Sample();

    I2cBus bus_;
    std::unique_ptr<SerialChip> chip_;
    std::uint8_t lines_ = 0;
    std::int64_t nowUs_ = 0;
};

}  // namespace simulator
