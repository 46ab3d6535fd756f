// The bus interfaces one run has: whichever adapter it uses, the engine and
// both faces reach the bus through these, and a null pointer is something the
// adapter cannot do (said in a sentence where it is asked for, never skipped).
#pragma once

#include "hardware/bus_sniffer.h"
#include "hardware/i2c_master.h"
#include "hardware/serial_lines.h"

namespace hardware {

struct BusInterfaces {
    I2cMaster* i2c = nullptr;
    SerialLines* lines = nullptr;
    SpiMaster* spi = nullptr;
    BusSniffer* sniffer = nullptr;
};

}  // namespace hardware
