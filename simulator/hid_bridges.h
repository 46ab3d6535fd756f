// The two USB-HID I2C bridges whose Linux drivers (hid-cp2112, hid-mcp2221)
// a technician meets, as devices that answer their drivers' reports with the
// bench's I2C bus. A program serves one through /dev/uhid
// (tests/kernel/merlix_hid_device.cpp) so that the kernel's own driver binds
// to it and makes the /dev/i2c-N that merlix-cli then uses.
//
// What each report means is read from the driver that sends it (Linux 6.1,
// drivers/hid/hid-cp2112.c and drivers/hid/hid-mcp2221.c, named beside each
// byte): the model answers what the driver asks and reads back; where a
// chip's behaviour is not in the driver (the CP2112's answer to an empty
// write, the MCP2221's to a refused data byte) the choice is said beside it.
//
// The bus runs at once: a request does its whole transfer on the bench's
// bus before the answer goes out, so the drivers' status polls find it done.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "simulator/i2c_bus.h"

namespace simulator {

class HidBridge {
public:
    using Report = std::vector<std::uint8_t>;
    virtual ~HidBridge() = default;

    // What UHID_CREATE2 announces: the name, USB ids and report descriptor.
    virtual const char* Name() const = 0;
    virtual std::uint16_t VendorId() const = 0;
    virtual std::uint16_t ProductId() const = 0;
    virtual std::span<const std::uint8_t> ReportDescriptor() const = 0;

    // An output report from the driver (its report number first where the
    // device numbers its reports); the input reports it answers with.
    virtual std::vector<Report> Output(std::span<const std::uint8_t> report, std::int64_t nowUs) = 0;
    // A feature report the driver reads (empty: refused) or writes (false: refused).
    virtual Report GetFeature(std::uint8_t number) = 0;
    virtual bool SetFeature(std::span<const std::uint8_t> report) = 0;
};

// "cp2112" or "mcp2221" on `bus`, else null.
std::unique_ptr<HidBridge> MakeHidBridge(const std::string& kind, I2cBus& bus);

}  // namespace simulator
