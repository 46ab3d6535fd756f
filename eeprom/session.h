// One adapter session: the adapter, the memory image with its marks and
// compare snapshot, the chip parameters in force and the probe and monitor
// flags. Its owner passes it down: the window owns one, the command line owns
// one, a test builds its own. Nothing in the engine keeps state of its own.
//
// The adapter in use is its bus interfaces; the parallel adapter's latch,
// device lines and PCF8584 are a part only its session has (Parallel()).
// The other members are plain fields that the faces and the engine read and
// set directly; the chip parameters in force (family, address bits,
// organisation, capacity and the chip cursor) are grouped in `chip`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "eeprom/chip_table.h"
#include "eeprom/image.h"
#include "hardware/bus_interfaces.h"
#include "hardware/port_adapter.h"

namespace eeprom {

struct Session {
    // A session on the parallel adapter: its PortAdapter talks through `io`
    // and keeps time by `counter` (both outlive the session). Its constructor
    // checks the counter, so the owner builds the session where that message
    // may be shown.
    Session(platform::PortIo& io, platform::Counter& counter, hardware::CounterErrorSink counterErrors = {})
        : parallel_(std::make_unique<hardware::PortAdapter>(io, counter, std::move(counterErrors))) {
        i2c = parallel_.get();
        lines = parallel_.get();
        sniffer = parallel_.get();
    }
    // A session on another adapter, through its bus interfaces (they outlive
    // the session); it has no parallel part.
    explicit Session(const hardware::BusInterfaces& bus)
        : i2c(bus.i2c), lines(bus.lines), spi(bus.spi), sniffer(bus.sniffer) {}
    // The interfaces may point into the session itself.
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The parallel adapter's own part: its latch, device lines and PCF8584,
    // which the classic sequences, the latch lines and the DAC take by name.
    // Null on every other adapter.
    hardware::PortAdapter* Parallel() const { return parallel_.get(); }

    // The bus interfaces in use. The engine's transfers, register commands
    // and the monitor go through these. A null interface is one the adapter
    // does not have.
    hardware::I2cMaster* i2c = nullptr;
    hardware::SerialLines* lines = nullptr;
    hardware::SpiMaster* spi = nullptr;
    hardware::BusSniffer* sniffer = nullptr;

    // The clock of the adapter in use: the parallel adapter's, else that of
    // the first interface it has.
    hardware::BusAdapter& Time() const {
        if (parallel_) return *parallel_;
        if (i2c) return *i2c;
        if (lines) return *lines;
        if (spi) return *spi;
        return *sniffer;
    }

    // Empty when the adapter in use can reach a chip of `family`; else the
    // one sentence that says why not.
    std::string CannotReach(ChipFamily family) const {
        if (family == ChipFamily::I2c)
            return i2c ? std::string() : "This adapter has no I2C bus for a 24Cxx memory";
        if (family == ChipFamily::Dac)
            return parallel_ ? std::string()
                             : "This adapter has no output latch to drive the M62358/M62359 converter";
        if (lines || spi) return {};
        return "This adapter has no serial lines or SPI bus for a Microwire or SPI memory";
    }
    // Copy of adapter's port base after every SetBase(); the monitor reads it.
    std::int32_t portBase = 0;
    // 1 after the last controller probe answered, 0 otherwise.
    std::uint8_t controllerPresent = 0;
    // 2 once a probe has reported "Not Found"; never cleared.
    std::uint8_t probeFailed = 0;
    // 1 while the bus monitor runs.
    std::uint8_t monitorOn = 0;
    // The monitor's filter address, read and write forms.
    std::uint8_t filterRead = 0;
    std::uint8_t filterWrite = 0;

    Image image{kImageSize};
    Image compareImage{kImageSize};
    Image marks{kImageSize};

    ChipParams chip;

private:
    std::unique_ptr<hardware::PortAdapter> parallel_;
};

}  // namespace eeprom
