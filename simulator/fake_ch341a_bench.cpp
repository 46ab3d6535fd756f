// The CH341A's real code on its fake, for --bench-adapter; see fake_ch341a.h.
#include "hardware/ch341a/ch341a_descriptor.h"
#include "platform/device_system.h"
#include "simulator/fake_ch341a.h"

namespace simulator {
namespace {

// The most fakes one bench run puts side by side.
constexpr int kMostFakes = 16;

constexpr const char* kMenu[] = {"Bench: CH341A, I2C at 100 kHz|bench:ch341a",
                                 "Bench: CH341A, I2C at 400 kHz|bench:ch341a:400k", nullptr};

class OnFake final : public BenchAdapter {
public:
    OnFake(SimulatedBench& bench, FakeCh341a::Config config) : fake(bench, config) {}
    ~OnFake() override { opened.reset(); }  // the adapter talks through the fake
    bool StrapOrg(bool high) override {
        fake.StrapOrg(high);
        return true;
    }
    FakeCh341a fake;
};

hardware::AdapterDescriptor::Parse Parse(const std::string& options, bool given, BenchChoice& choice,
                                         std::string& error) {
    choice.adapter = &kCh341aOnTheBench;
    std::size_t from = given ? 0 : options.size() + 1;
    while (from <= options.size()) {
        const std::size_t comma = std::min(options.find(',', from), options.size());
        const std::string option = options.substr(from, comma - from);
        from = comma + 1;
        const int count = hardware::SmallNumber(option, 1, kMostFakes);
        if (count > 0) {
            choice.count = count;
        } else if (option == "20k" || option == "100k" || option == "400k" || option == "750k") {
            choice.clockHz = std::stoi(option) * 1000;
        } else {
            error = "--bench-adapter ch341a takes a count of programmers (1 to " +
                    std::to_string(kMostFakes) + ") and an I2C clock (20k, 100k, 400k, 750k), not '" +
                    option + "'";
            return hardware::AdapterDescriptor::Parse::Refused;
        }
    }
    return hardware::AdapterDescriptor::Parse::Taken;
}

// Each one on a bench of its own, at an address of its own, as several on one hub would be.
std::unique_ptr<BenchAdapter> Open(SimulatedBench& bench, const BenchChoice& choice, platform::Counter& clock,
                                   std::string& label, std::string& error) {
    FakeCh341a::Config config;
    config.address = 4 + choice.which;
    auto onFake = std::make_unique<OnFake>(bench, config);
    hardware::AdapterSystems systems{
        clock, platform::HostDevices(),
        [&onFake](std::string&) -> platform::UsbSystem* { return &onFake->fake; }};
    hardware::AdapterChoice adapter;
    adapter.adapter = &hardware::kCh341aAdapter;
    adapter.clockHz = choice.clockHz;
    onFake->opened = hardware::kCh341aAdapter.open(adapter, systems, error);
    if (!onFake->opened) return nullptr;
    label = "CH341A adapter on its fake programmer " + std::to_string(choice.which) + " (USB bus 1 address " +
            std::to_string(config.address) + ", I2C at " + std::to_string(choice.clockHz / 1000) + " kHz)";
    return onFake;
}

}  // namespace

const BenchAdapterDescriptor kCh341aOnTheBench{
    .adapter = &hardware::kCh341aAdapter,
    .syntax = "ch341a[:COUNT,400k]",
    .help = "ch341a (:COUNT programmers side by side, each on a bench of its own; :20k, :400k or :750k I2C "
            "clock; both as ch341a:3,400k)",
    .benchName = "the CH341A bench",
    .mostSideBySide = kMostFakes,
    .unitWords = "CH341A programmer",
    .menu = kMenu,
    .parse = Parse,
    .open = Open,
};

}  // namespace simulator
