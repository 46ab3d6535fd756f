// The bus monitor's own cost, without the bench: building a log line, and one
// 100000-read polling pass over a controller that answers at once (idle, and
// with back-to-back transfers). The pass must stay far below the 5 ms timer
// period; what a real port or the simulated bench adds comes on top.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "hardware/port_adapter.h"
#include "monitor/monitor_logic.h"
#include "platform/port_io.h"

using namespace monitor;

namespace {

// Status reads always answer "no byte pending, bus free".
class IdleController final : public platform::PortIo {
public:
    std::uint8_t In(std::uint16_t) override { return 0x81; }
    void Out(std::uint16_t, std::uint8_t) override {}
};

// Replays one EEPROM write over and over: the start status, a status without
// a byte, the address, the word address and 16 data bytes, the end.
class BusyController final : public platform::PortIo {
public:
    std::uint8_t In(std::uint16_t port) override {
        if (port == 0x378 + 4) return step_ == 3 ? 0xA0 : static_cast<std::uint8_t>(step_ * 17);
        const std::uint8_t status = step_ == 0     ? 0x84
                                    : step_ == 1   ? 0x80
                                    : step_ == 2   ? 4
                                    : step_ < kEnd ? 0
                                                   : 0x81;
        step_ = step_ == kEnd ? 0 : step_ + 1;
        return status;
    }
    void Out(std::uint16_t, std::uint8_t) override {}

private:
    static constexpr int kEnd = 2 + 18;
    int step_ = 0;
};

std::vector<CaptureRecord> EepromWrite() {
    std::vector<CaptureRecord> records{{4, 0xA0}, {0, 0x10}};
    for (int i = 0; i < 16; ++i) records.push_back({0, static_cast<std::uint8_t>(i * 17)});
    return records;
}

void BM_BuildLogLine(benchmark::State& state) {
    const std::vector<CaptureRecord> records = EepromWrite();
    for (auto _ : state) benchmark::DoNotOptimize(BuildLogLine(records));
}
BENCHMARK(BM_BuildLogLine);

template <typename Controller>
void PollPass(benchmark::State& state) {
    Controller controller;
    platform::SteadyCounter clock;
    int lines = 0;
    const LogLineSink sink = [&](std::string_view) { ++lines; };
    const MonitorFilter filter = FilterBytes(0x20);
    hardware::PortAdapter adapter(controller, clock);
    adapter.SetBase(0x378);
    for (auto _ : state) {
        benchmark::DoNotOptimize(CapturePass(adapter, kPollReads, filter.read, filter.write, sink));
    }
    state.counters["lines/pass"] = benchmark::Counter(lines, benchmark::Counter::kAvgIterations);
}

void BM_CapturePassIdle(benchmark::State& state) { PollPass<IdleController>(state); }
void BM_CapturePassBusy(benchmark::State& state) { PollPass<BusyController>(state); }
BENCHMARK(BM_CapturePassIdle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CapturePassBusy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
