// The i2c-dev adapter's real code on its fake, for --bench-adapter; see fake_i2c_dev.h.
#include "hardware/i2c_dev/i2c_dev_descriptor.h"
#include "simulator/fake_i2c_dev.h"

namespace simulator {
namespace {

constexpr const char* kMenu[] = {
    "Bench: i2c-dev, 100 kHz|bench:i2c-dev", "Bench: i2c-dev, 400 kHz|bench:i2c-dev:400k",
    "Bench: i2c-dev, a two-message USB-HID bridge|bench:i2c-dev:two-message", nullptr};

class OnFake final : public BenchAdapter {
public:
    OnFake(SimulatedBench& bench, FakeI2cDev::Config config) : fake(bench, config) {}
    ~OnFake() override { opened.reset(); }  // the adapter talks through the fake
    FakeI2cDev fake;
};

hardware::AdapterDescriptor::Parse Parse(const std::string& options, bool given, BenchChoice& choice,
                                         std::string& error) {
    choice.adapter = &kI2cDevOnTheBench;
    std::size_t from = given ? 0 : options.size() + 1;
    while (from <= options.size()) {
        const std::size_t comma = std::min(options.find(',', from), options.size());
        const std::string option = options.substr(from, comma - from);
        from = comma + 1;
        if (option == "two-message") {
            choice.twoMessages = true;
        } else if (option == "400k" || option == "100k") {
            choice.clockHz = option == "400k" ? 400'000 : 100'000;
        } else {
            error =
                "--bench-adapter i2c-dev takes the options two-message, 100k and 400k, not '" + option + "'";
            return hardware::AdapterDescriptor::Parse::Refused;
        }
    }
    return hardware::AdapterDescriptor::Parse::Taken;
}

std::unique_ptr<BenchAdapter> Open(SimulatedBench& bench, const BenchChoice& choice, platform::Counter& clock,
                                   std::string& label, std::string& error) {
    FakeI2cDev::Config config;
    config.twoMessagesOnly = choice.twoMessages;
    config.clockHz = choice.clockHz;
    auto onFake = std::make_unique<OnFake>(bench, config);
    hardware::AdapterSystems systems{clock, onFake->fake, nullptr};
    hardware::AdapterChoice adapter;
    adapter.adapter = &hardware::kI2cDevAdapter;
    adapter.path = onFake->fake.Path();
    onFake->opened = hardware::kI2cDevAdapter.open(adapter, systems, error);
    if (!onFake->opened) return nullptr;
    label = "i2c-dev adapter on its fake " + adapter.path + " (" + std::to_string(config.clockHz / 1000) +
            " kHz" + (config.twoMessagesOnly ? ", two messages per transfer as a USB-HID bridge" : "") + ")";
    return onFake;
}

}  // namespace

const BenchAdapterDescriptor kI2cDevOnTheBench{
    .adapter = &hardware::kI2cDevAdapter,
    .syntax = "i2c-dev[:two-message,400k]",
    .help = "i2c-dev (:two-message for a USB-HID bridge, :400k, both as i2c-dev:two-message,400k)",
    .benchName = "the i2c-dev bench",
    .menu = kMenu,
    .parse = Parse,
    .open = Open,
};

}  // namespace simulator
