// The adapters Linux gives as character devices, as the port survey, the
// adapter choice at start and the window's adapter menu see them: every
// /dev/i2c-N bus with the name its driver gives it and what kind of bus that
// is, and every /dev/spidevB.C node, each with whether this user may open it
// and the fix when not. Everything is read through DeviceSystem, so a test
// stages the listing.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/device_system.h"

namespace platform {

struct I2cDevBus {
    // What the bus is, as far as its driver's name tells. Only a USB bridge
    // is ever chosen without --adapter: a PC's SMBus holds the memory
    // modules' SPD EEPROMs and a display's DDC its EDID, both at 0x50, where
    // a write meant for a 24Cxx on the bench would destroy them.
    enum class Kind {
        UsbBridge,        // a USB-to-I2C bridge (MCP2221A, CP2112, CH341, FT260, i2c-tiny-usb)
        BoardController,  // a board's own controller on its header (Raspberry Pi and the like)
        PcBus,            // a PC's SMBus, or a graphics card's DDC or DisplayPort AUX bus
        Unknown,
    };
    int number = -1;
    std::string path;  // "/dev/i2c-3"
    std::string name;  // "MCP2221 usb-i2c bridge"; empty when /sys does not say
    Kind kind = Kind::Unknown;
    bool present = false;  // the /dev node exists
    bool usable = false;   // this user may read and write it
};

struct SpidevNode {
    std::string path;  // "/dev/spidev0.0"
    bool present = false;
    bool usable = false;
};

// The i2c-dev buses in number order (/sys/class/i2c-dev, else /dev).
std::vector<I2cDevBus> ListI2cDevBuses(DeviceSystem& system);
// The spidev nodes (/sys/class/spidev, else /dev), sorted.
std::vector<SpidevNode> ListSpidevNodes(DeviceSystem& system);
// A few words for a kind: "USB bridge", "PC SMBus or display bus", ...
const char* I2cBusKindText(I2cDevBus::Kind kind);

// The i2c-dev bus a run may take without --adapter: the one USB bridge this
// user can open. Null when there is none or more than one; `why` then says
// what was found and that --adapter chooses.
const I2cDevBus* AutomaticI2cBus(const std::vector<I2cDevBus>& buses, std::string& why);

// The survey's I2C and SPI sections: each bus and node with its rights and
// the fix for each problem, and what to do when none is there (load
// i2c-dev, the Raspberry Pi's dtparam lines). True when one can be used.
bool DescribeCharacterAdapters(std::ostream& out, DeviceSystem& system);
// Each of the two sections alone.
bool DescribeI2cDevBuses(std::ostream& out, DeviceSystem& system);
bool DescribeSpidevNodes(std::ostream& out, DeviceSystem& system);

}  // namespace platform
