// The i2c-dev buses and spidev nodes of the machine; see adapter_survey.h.
#include "platform/adapter_survey.h"

#include "platform/i2c_drivers.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool HasAny(const std::string& text, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](const char* word) { return text.find(word) != std::string::npos; });
}

// The kind of a bus, from the name its driver gives it (what i2cdetect -l
// shows). A bridge first: the CP2112 calls itself an "SMBus Bridge".
I2cDevBus::Kind KindOfName(const std::string& name) {
    const std::string text = Lower(name);
    if (HasAny(text, {"usb", "bridge", "cp2112", "mcp2221", "ch341", "ft260"}))
        return I2cDevBus::Kind::UsbBridge;
    if (HasAny(text, {"bcm2835", "bcm2708", "bcm2711", "sunxi", "mv64xxx", "rk3x"}))
        return I2cDevBus::Kind::BoardController;
    if (HasAny(text, {"smbus", "i801", "piix4", "nforce", "sis96", "viapro", "gmbus", "ddc", "aux", "i915",
                      "nvidia", "nouveau", "radeon", "amdgpu", "bit bus", "dmub"}))
        return I2cDevBus::Kind::PcBus;
    return I2cDevBus::Kind::Unknown;
}

// The number after `prefix` in a name such as "i2c-12"; -1 when it is not one.
int NumberAfter(const std::string& name, const std::string& prefix) {
    if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size()) return -1;
    const std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    return digits.size() > 6 ? -1 : std::atoi(digits.c_str());
}

bool OnRaspberryPi(DeviceSystem& system) {
    std::string model;
    return system.ReadText("/proc/device-tree/model", model) &&
           model.find("Raspberry Pi") != std::string::npos;
}

void Check(DeviceSystem& system, const std::string& path, bool& present, bool& usable) {
    present = system.Access(path, F_OK) == 0;
    usable = present && system.Access(path, R_OK | W_OK) == 0;
}

constexpr const char* kI2cRightsFix =
    "add yourself to group i2c (sudo usermod -aG i2c $USER, then log in again); where no such group owns "
    "the node, a udev rule gives it one: echo 'KERNEL==\"i2c-[0-9]*\", GROUP=\"i2c\", MODE=\"0660\"' | "
    "sudo tee /etc/udev/rules.d/60-i2c.rules, sudo groupadd -f i2c, sudo udevadm trigger";
constexpr const char* kSpiRightsFix =
    "add yourself to group spi (sudo usermod -aG spi $USER, then log in again); where no such group owns "
    "the node, a udev rule gives it one: echo 'SUBSYSTEM==\"spidev\", GROUP=\"spi\", MODE=\"0660\"' | "
    "sudo tee /etc/udev/rules.d/60-spidev.rules, sudo groupadd -f spi, sudo udevadm trigger";

}  // namespace

std::vector<I2cDevBus> ListI2cDevBuses(DeviceSystem& system) {
    std::vector<std::string> names = system.List("/sys/class/i2c-dev");
    if (names.empty()) names = system.List("/dev");
    std::vector<I2cDevBus> buses;
    for (const std::string& entry : names) {
        I2cDevBus bus;
        bus.number = NumberAfter(entry, "i2c-");
        if (bus.number < 0) continue;
        bus.path = "/dev/i2c-" + std::to_string(bus.number);
        system.ReadText("/sys/class/i2c-dev/" + entry + "/name", bus.name);
        bus.kind = KindOfName(bus.name);
        Check(system, bus.path, bus.present, bus.usable);
        buses.push_back(bus);
    }
    std::sort(buses.begin(), buses.end(),
              [](const I2cDevBus& a, const I2cDevBus& b) { return a.number < b.number; });
    return buses;
}

std::vector<SpidevNode> ListSpidevNodes(DeviceSystem& system) {
    std::vector<std::string> names = system.List("/sys/class/spidev");
    if (names.empty()) names = system.List("/dev");
    std::vector<SpidevNode> nodes;
    for (const std::string& entry : names) {
        if (entry.rfind("spidev", 0) != 0 || entry.size() == 6) continue;
        SpidevNode node;
        node.path = "/dev/" + entry;
        Check(system, node.path, node.present, node.usable);
        nodes.push_back(node);
    }
    return nodes;
}

const char* I2cBusKindText(I2cDevBus::Kind kind) {
    switch (kind) {
        case I2cDevBus::Kind::UsbBridge:
            return "USB bridge";
        case I2cDevBus::Kind::BoardController:
            return "the board's own controller";
        case I2cDevBus::Kind::PcBus:
            return "a PC's SMBus or display bus";
        case I2cDevBus::Kind::Unknown:
            break;
    }
    return "a bus of unknown kind";
}

const I2cDevBus* AutomaticI2cBus(const std::vector<I2cDevBus>& buses, std::string& why) {
    const I2cDevBus* bridge = nullptr;
    int bridges = 0;
    for (const I2cDevBus& bus : buses) {
        if (bus.kind != I2cDevBus::Kind::UsbBridge || !bus.usable) continue;
        ++bridges;
        bridge = &bus;
    }
    if (bridges == 1) {
        why = bridge->path + " is the one USB-to-I2C bridge (" + bridge->name + ")";
        return bridge;
    }
    if (bridges > 1) {
        why = std::to_string(bridges) +
              " USB-to-I2C bridges can be opened; --adapter i2c-dev:/dev/i2c-N chooses one";
    } else if (!buses.empty()) {
        why = "no i2c-dev bus is a USB bridge this user can open (a PC's SMBus or display bus is taken only "
              "with --adapter i2c-dev:/dev/i2c-N)";
    } else {
        why = "no i2c-dev bus was found";
    }
    return nullptr;
}

bool DescribeCharacterAdapters(std::ostream& out, DeviceSystem& system) {
    const bool i2c = DescribeI2cDevBuses(out, system);
    return DescribeSpidevNodes(out, system) || i2c;
}

bool DescribeI2cDevBuses(std::ostream& out, DeviceSystem& system) {
    bool usable = false;
    const bool pi = OnRaspberryPi(system);
    const std::vector<I2cDevBus> buses = ListI2cDevBuses(system);
    out << "I2C buses (i2c-dev):\n";
    for (const I2cDevBus& bus : buses) {
        out << "  " << bus.path << ": " << (bus.name.empty() ? "no name in /sys" : bus.name) << " ("
            << I2cBusKindText(bus.kind) << ")\n";
        if (const I2cDriverRules* driver = FindI2cDriver(bus.name)) {
            out << "    driver " << I2cDriverLimitsText(*driver) << "\n";
        } else if (!bus.name.empty()) {
            out << "    a driver Merlix has no limits for: they are learnt from its answers\n";
        }
        if (!bus.present) {
            out << "    no device node: udev has not made it (sudo udevadm trigger)\n";
        } else if (!bus.usable) {
            out << "    this user cannot open it: " << kI2cRightsFix << "\n";
        } else {
            out << "    this user can open it (--adapter i2c-dev:" << bus.path << ")\n";
            usable = true;
        }
        if (bus.kind == I2cDevBus::Kind::PcBus || bus.kind == I2cDevBus::Kind::Unknown)
            out << "    never chosen without --adapter: a PC's memory modules and display keep data at 0x50 "
                   "that a write would destroy\n";
    }
    if (buses.empty()) {
        const std::vector<std::string> adapters = system.List("/sys/bus/i2c/devices");
        const bool kernelBuses = std::any_of(adapters.begin(), adapters.end(), [](const std::string& name) {
            return NumberAfter(name, "i2c-") >= 0;
        });
        if (kernelBuses) {
            out << "  none, though the kernel has I2C buses: load the i2c-dev module (sudo modprobe i2c-dev; "
                   "add i2c-dev to /etc/modules to keep it)\n";
        } else if (pi) {
            out << "  none: add dtparam=i2c_arm=on to /boot/firmware/config.txt (/boot/config.txt on older "
                   "systems), reboot, then sudo modprobe i2c-dev\n";
        } else {
            out << "  none: plug in a USB-to-I2C bridge (MCP2221A, CP2112) and load the i2c-dev module "
                   "(sudo modprobe i2c-dev)\n";
        }
    }
    return usable;
}

bool DescribeSpidevNodes(std::ostream& out, DeviceSystem& system) {
    bool usable = false;
    const bool pi = OnRaspberryPi(system);
    const std::vector<SpidevNode> nodes = ListSpidevNodes(system);
    out << "SPI buses (spidev):\n";
    for (const SpidevNode& node : nodes) {
        out << "  " << node.path << ": ";
        if (!node.present) {
            out << "no device node: udev has not made it (sudo udevadm trigger)\n";
        } else if (!node.usable) {
            out << "this user cannot open it: " << kSpiRightsFix << "\n";
        } else {
            out << "this user can open it (--adapter spidev:" << node.path << ")\n";
            usable = true;
        }
    }
    if (nodes.empty()) {
        if (pi) {
            out << "  none: add dtparam=spi=on to /boot/firmware/config.txt (/boot/config.txt on older "
                   "systems) and reboot\n";
        } else {
            out << "  none: an SPI bus appears as /dev/spidevB.C only where a device-tree overlay or a "
                   "driver binds spidev to it\n";
        }
    }
    return usable;
}

}  // namespace platform
