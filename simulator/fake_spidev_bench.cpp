// The spidev adapter's real code on its fake, for --bench-adapter; see fake_spidev.h.
#include "hardware/spidev/spidev_descriptor.h"
#include "simulator/fake_spidev.h"

namespace simulator {
namespace {

constexpr const char* kMenu[] = {"Bench: spidev|bench:spidev", nullptr};

class OnFake final : public BenchAdapter {
public:
    explicit OnFake(SimulatedBench& bench) : fake(bench) {}
    ~OnFake() override { opened.reset(); }  // the adapter talks through the fake
    bool StrapOrg(bool high) override {
        fake.StrapOrg(high);
        return true;
    }
    FakeSpidev fake;
};

hardware::AdapterDescriptor::Parse Parse(const std::string&, bool given, BenchChoice& choice, std::string&) {
    if (given) return hardware::AdapterDescriptor::Parse::NotMine;
    choice.adapter = &kSpidevOnTheBench;
    return hardware::AdapterDescriptor::Parse::Taken;
}

std::unique_ptr<BenchAdapter> Open(SimulatedBench& bench, const BenchChoice&, platform::Counter& clock,
                                   std::string& label, std::string& error) {
    auto onFake = std::make_unique<OnFake>(bench);
    hardware::AdapterSystems systems{clock, onFake->fake, nullptr};
    hardware::AdapterChoice adapter;
    adapter.adapter = &hardware::kSpidevAdapter;
    adapter.path = onFake->fake.Path();
    onFake->opened = hardware::kSpidevAdapter.open(adapter, systems, error);
    if (!onFake->opened) return nullptr;
    label = "spidev adapter on its fake " + adapter.path;
    return onFake;
}

}  // namespace

const BenchAdapterDescriptor kSpidevOnTheBench{
    .adapter = &hardware::kSpidevAdapter,
    .syntax = "spidev",
    .help = "spidev",
    .benchName = "the spidev bench",
    .menu = kMenu,
    .parse = Parse,
    .open = Open,
};

}  // namespace simulator
