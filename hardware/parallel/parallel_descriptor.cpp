// The parallel adapter's entry in the adapter list; see parallel_descriptor.h.
#include "hardware/parallel/parallel_descriptor.h"

#include "hardware/port_adapter.h"
#include "hardware/probe.h"
#include "platform/port_access_choice.h"
#include "platform/port_check.h"

namespace hardware {
namespace {

class OpenedParallel final : public OpenedAdapter {
public:
    explicit OpenedParallel(std::unique_ptr<platform::PortIo> io) : io_(std::move(io)) {}
    platform::PortIo* Port() override { return io_.get(); }

private:
    std::unique_ptr<platform::PortIo> io_;
};

AdapterDescriptor::Parse Parse(const std::string& text, AdapterChoice& choice, std::string&) {
    const std::string name = LowerCase(text);
    if (name != "lpt1" && name != "lpt2") return AdapterDescriptor::Parse::NotMine;
    choice = {};
    choice.adapter = &kParallelAdapter;
    choice.index = name == "lpt1" ? kLpt1 : kLpt2;
    return AdapterDescriptor::Parse::Taken;
}

std::string Spell(const AdapterChoice& choice) { return choice.index == kLpt2 ? "lpt2" : "lpt1"; }

// Direct port I/O where the machine has a port this process may use, else
// ppdev; `request` forces one of them.
std::unique_ptr<OpenedAdapter> Choose(const platform::PortAccessRequest& request, std::string& reason,
                                      bool& failed) {
    platform::PortAccessResult result = platform::ChoosePortAccess(request);
    failed = result.failed;
    if (result.failed || result.kind == platform::PortAccessResult::Kind::Bench || !result.io) {
        reason = result.reason;
        return nullptr;
    }
    auto opened = std::make_unique<OpenedParallel>(std::move(result.io));
    // Direct I/O is what the program was made for; anything else is named
    // on stderr and in the window caption.
    if (result.kind == platform::PortAccessResult::Kind::Ppdev) {
        opened->label = result.label;
        opened->notice = "using " + result.label;
    }
    return opened;
}

std::unique_ptr<OpenedAdapter> Open(const AdapterChoice& choice, AdapterSystems&, std::string& error) {
    platform::PortAccessRequest request;
    if (choice.mode == "direct") request.force = platform::PortAccessRequest::Force::Direct;
    if (choice.mode == "ppdev") {
        request.force = platform::PortAccessRequest::Force::Ppdev;
        std::size_t from = 0;
        while (from <= choice.path.size()) {
            const std::size_t comma = std::min(choice.path.find(',', from), choice.path.size());
            if (comma > from) request.ppdevDevices.push_back(choice.path.substr(from, comma - from));
            from = comma + 1;
        }
    }
    bool failed = false;
    return Choose(request, error, failed);
}

std::unique_ptr<OpenedAdapter> OpenAutomatically(AdapterSystems&, std::string& why) {
    bool failed = false;
    return Choose({}, why, failed);
}

bool Survey(std::ostream& out, AdapterSystems& systems) {
    platform::PortCheckEnvironment environment;
    environment.otherAdapters = [](std::ostream&) { return false; };
    platform::Counter& clock = systems.clock;
    return platform::RunPortCheck(
               out, [&clock](platform::PortIo& io, int base) { return ProbeAdapterOn(io, clock, base); },
               environment) == 0;
}

std::vector<AdapterMenuEntry> Menu(AdapterSystems&) {
    return {{"Parallel adapter on LPT1", "lpt1", true}, {"Parallel adapter on LPT2", "lpt2", true}};
}

int I2cToolsBus(const AdapterChoice& choice) { return choice.index == kLpt2 ? 2 : 1; }

}  // namespace

const AdapterDescriptor kParallelAdapter{
    .name = "parallel",
    .syntax = "lpt1, lpt2",
    .help = "lpt1 or lpt2 (the parallel adapter on that port)",
    .completions = "lpt1 lpt2",
    .deviceNodes = "",
    .parse = Parse,
    .spell = Spell,
    .survey = Survey,
    .menu = Menu,
    .open = Open,
    .automaticPlace = 1,
    .automaticWords = "the parallel port",
    .openAutomatically = OpenAutomatically,
    .benchWhenAbsent = true,
    .portAccess = true,
    .i2cToolsBus = I2cToolsBus,
};

}  // namespace hardware
