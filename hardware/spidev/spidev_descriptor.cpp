// The spidev adapter's entry in the adapter list; see spidev_descriptor.h.
#include "hardware/spidev/spidev_descriptor.h"

#include "hardware/spidev/spidev_adapter.h"
#include "platform/adapter_survey.h"

namespace hardware {
namespace {

constexpr const char* kPrefix = "spidev:";

class OpenedSpidev final : public OpenedAdapter {
public:
    explicit OpenedSpidev(std::unique_ptr<SpidevAdapter> adapter) : adapter_(std::move(adapter)) {}
    BusInterfaces Interfaces() override {
        BusInterfaces bus;
        bus.spi = adapter_.get();
        return bus;
    }
    std::string Capabilities() const override { return adapter_->Describe(); }

private:
    std::unique_ptr<SpidevAdapter> adapter_;
};

AdapterDescriptor::Parse Parse(const std::string& text, AdapterChoice& choice, std::string&) {
    return ParsePrefixedPath(text, kPrefix, kSpidevAdapter, choice);
}

std::string Spell(const AdapterChoice& choice) { return kPrefix + choice.path; }

std::unique_ptr<OpenedAdapter> Open(const AdapterChoice& choice, AdapterSystems& systems,
                                    std::string& error) {
    auto adapter = std::make_unique<SpidevAdapter>(systems.devices, systems.clock);
    if (!adapter->Open(choice.path, error)) return nullptr;
    auto opened = std::make_unique<OpenedSpidev>(std::move(adapter));
    opened->label = "spidev " + choice.path;
    opened->notice = "using " + opened->label + " (--adapter)";
    return opened;
}

std::vector<AdapterMenuEntry> Menu(AdapterSystems& systems) {
    std::vector<AdapterMenuEntry> entries;
    for (const platform::SpidevNode& node : platform::ListSpidevNodes(systems.devices)) {
        std::string text = "spidev " + node.path;
        if (!node.usable) text += ", not open to this user (see --check-ports)";
        entries.push_back({text, kPrefix + node.path, node.usable});
    }
    return entries;
}

bool Survey(std::ostream& out, AdapterSystems& systems) {
    return platform::DescribeSpidevNodes(out, systems.devices);
}

}  // namespace

const AdapterDescriptor kSpidevAdapter{
    .name = "spidev",
    .syntax = "spidev:/dev/spidevB.C",
    .help = "spidev:/dev/spidevB.C",
    .completions = "",
    .deviceNodes = "spidev",
    .parse = Parse,
    .spell = Spell,
    .survey = Survey,
    .menu = Menu,
    .open = Open,
};

}  // namespace hardware
