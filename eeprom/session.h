// One adapter session: the adapter, the memory image with its marks and
// compare snapshot, the chip parameters in force and the probe and monitor
// flags. Its owner passes it down: the window owns one, the command line owns
// one, a test builds its own. Nothing in the engine keeps state of its own.
//
// The members are plain fields that the faces and the engine read and set
// directly; the chip parameters in force (family, address bits,
// organisation, capacity and the chip cursor) are grouped in `chip`.
#pragma once

#include <cstdint>
#include <utility>

#include "eeprom/chip_table.h"
#include "eeprom/image.h"
#include "hardware/port_adapter.h"

namespace eeprom {

struct Session {
    // The adapter talks through `io` and keeps time by `counter` (both
    // outlive the session). Its constructor checks the counter, so the owner
    // builds the session where that message may be shown.
    Session(platform::PortIo& io, platform::Counter& counter, hardware::CounterErrorSink counterErrors = {})
        : adapter(io, counter, std::move(counterErrors)) {}

    // The main adapter.
    hardware::PortAdapter adapter;
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
};

}  // namespace eeprom
