// The i2c-dev adapter's entry in the adapter list; see i2c_dev_descriptor.h.
#include "hardware/i2c_dev/i2c_dev_descriptor.h"

#include <cstdlib>

#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "platform/adapter_survey.h"

namespace hardware {
namespace {

constexpr const char* kPrefix = "i2c-dev:";

class OpenedI2cDev final : public OpenedAdapter {
public:
    explicit OpenedI2cDev(std::unique_ptr<I2cDevAdapter> adapter) : adapter_(std::move(adapter)) {}
    BusInterfaces Interfaces() override {
        BusInterfaces bus;
        bus.i2c = adapter_.get();
        return bus;
    }
    std::string Capabilities() const override { return adapter_->Describe(); }

private:
    std::unique_ptr<I2cDevAdapter> adapter_;
};

AdapterDescriptor::Parse Parse(const std::string& text, AdapterChoice& choice, std::string&) {
    return ParsePrefixedPath(text, kPrefix, kI2cDevAdapter, choice);
}

std::string Spell(const AdapterChoice& choice) { return kPrefix + choice.path; }

std::unique_ptr<OpenedI2cDev> OpenPath(const std::string& path, AdapterSystems& systems, std::string& error) {
    auto adapter = std::make_unique<I2cDevAdapter>(systems.devices, systems.clock);
    if (!adapter->Open(path, error)) return nullptr;
    auto opened = std::make_unique<OpenedI2cDev>(std::move(adapter));
    opened->label = "i2c-dev " + path;
    return opened;
}

std::unique_ptr<OpenedAdapter> Open(const AdapterChoice& choice, AdapterSystems& systems,
                                    std::string& error) {
    auto opened = OpenPath(choice.path, systems, error);
    if (!opened) return nullptr;
    opened->notice = "using " + opened->label + " (--adapter)";
    for (const platform::I2cDevBus& bus : platform::ListI2cDevBuses(systems.devices)) {
        if (bus.path != choice.path || bus.kind == platform::I2cDevBus::Kind::UsbBridge ||
            bus.kind == platform::I2cDevBus::Kind::BoardController)
            continue;
        opened->notice += "; " + bus.path + " (" + bus.name + ") is " + platform::I2cBusKindText(bus.kind) +
                          ", where a PC's memory modules and display may keep data at 0x50: write only to "
                          "what you put on this bus yourself";
    }
    return opened;
}

// Only a bus that cannot be a PC's own SMBus or display bus (adapter_survey.h).
std::unique_ptr<OpenedAdapter> OpenAutomatically(AdapterSystems& systems, std::string& why) {
    std::string chosen;
    const std::vector<platform::I2cDevBus> buses = platform::ListI2cDevBuses(systems.devices);
    const platform::I2cDevBus* bus = platform::AutomaticI2cBus(buses, chosen);
    if (!bus) {
        why = chosen;
        return nullptr;
    }
    auto opened = OpenPath(bus->path, systems, why);
    if (!opened) return nullptr;
    opened->notice = "using " + opened->label + ": " + chosen;
    opened->label += ", the one USB-to-I2C bridge";  // the caption says why too
    return opened;
}

std::vector<AdapterMenuEntry> Menu(AdapterSystems& systems) {
    std::vector<AdapterMenuEntry> entries;
    for (const platform::I2cDevBus& bus : platform::ListI2cDevBuses(systems.devices)) {
        std::string text =
            "i2c-dev " + bus.path + ": " + bus.name + " (" + platform::I2cBusKindText(bus.kind) + ")";
        if (!bus.usable) text += ", not open to this user (see --check-ports)";
        entries.push_back({text, kPrefix + bus.path, bus.usable});
    }
    return entries;
}

bool Survey(std::ostream& out, AdapterSystems& systems) {
    return platform::DescribeI2cDevBuses(out, systems.devices);
}

// /dev/i2c-N is bus N for the i2c-tools; 0 when the node is named otherwise.
int I2cToolsBus(const AdapterChoice& choice) {
    const std::string node = "/dev/i2c-";
    if (choice.path.compare(0, node.size(), node) != 0) return 0;
    char* end = nullptr;
    const long number = std::strtol(choice.path.c_str() + node.size(), &end, 10);
    return end != choice.path.c_str() + node.size() && *end == '\0' ? static_cast<int>(number) : 0;
}

std::string I2cToolsNode(const AdapterChoice& choice) { return choice.path; }

std::string ForKernelNode(const std::string& node) { return kPrefix + node; }

}  // namespace

const AdapterDescriptor kI2cDevAdapter{
    .name = "i2c-dev",
    .syntax = "i2c-dev:/dev/i2c-N",
    .help = "i2c-dev:/dev/i2c-N",
    .completions = "",
    .deviceNodes = "i2c-",
    .parse = Parse,
    .spell = Spell,
    .survey = Survey,
    .menu = Menu,
    .open = Open,
    .automaticPlace = 3,
    .automaticWords = "one USB-to-I2C bridge",
    .openAutomatically = OpenAutomatically,
    .i2cToolsBus = I2cToolsBus,
    .i2cToolsNode = I2cToolsNode,
    .forKernelNode = ForKernelNode,
};

}  // namespace hardware
