// Speed of the simulated bench as the program drives it: idle status reads
// through the port seam (the monitor's hot loop), a whole monitor pass of
// 100000 reads, and one EEPROM byte read. The bench runs on the real counter
// here, as it does in the application.
#include <benchmark/benchmark.h>

#include "hardware/port_adapter.h"
#include "platform/port_io.h"
#include "simulator/simulated_bench.h"

namespace {

// A bench on LPT1 with the monitor's controller set-up in force.
struct MonitorBench {
    explicit MonitorBench(
        simulator::SimulatedBench::Traffic traffic = simulator::SimulatedBench::Traffic::None) {
        bench.SetTraffic(traffic);
        adapter.SetBase(hardware::kLpt1);
        adapter.ResetAdapter(0, 0xFD);
        adapter.InitController();
    }
    platform::SteadyCounter clock;
    simulator::SimulatedBench bench{clock};
    hardware::PortAdapter adapter{bench, clock};
};

// The capture loop's wait for a transfer: read S1, compare with 0x84.
int MonitorPass(hardware::PortAdapter& adapter) {
    int begun = 0;
    for (int i = 0; i < 100000; ++i) {
        if (adapter.ReadStatus() != 0x84) continue;
        ++begun;
        platform::PortIo& io = adapter.Io();
        const auto s0 = static_cast<std::uint16_t>(adapter.GetBase() + hardware::kEppData);
        for (int guard = 0; guard < 100000; ++guard) {
            const std::uint8_t t = adapter.ReadStatus();
            if (!(t & 0x80)) benchmark::DoNotOptimize(io.In(s0));
            if (t & 0x01) break;
        }
    }
    return begun;
}

void BM_IdleStatusRead(benchmark::State& state) {
    MonitorBench m;
    for (auto _ : state) benchmark::DoNotOptimize(m.adapter.ReadStatus());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IdleStatusRead);

void BM_IdleMonitorPass(benchmark::State& state) {
    MonitorBench m;
    for (auto _ : state) benchmark::DoNotOptimize(MonitorPass(m.adapter));
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_IdleMonitorPass)->Unit(benchmark::kMillisecond);

void BM_DemoMonitorPass(benchmark::State& state) {
    MonitorBench m(simulator::SimulatedBench::Traffic::Demo);
    for (auto _ : state) benchmark::DoNotOptimize(MonitorPass(m.adapter));
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_DemoMonitorPass)->Unit(benchmark::kMillisecond);

void BM_I2cReadByte(benchmark::State& state) {
    MonitorBench m;
    m.adapter.ResetAdapter(0, 0xFD);
    int sub = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(m.adapter.I2cReadByte(static_cast<std::uint8_t>(sub), 0xA0));
        sub = (sub + 1) & 0xFF;
    }
}
BENCHMARK(BM_I2cReadByte)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
