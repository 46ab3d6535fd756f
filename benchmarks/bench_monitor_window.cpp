// One poll-timer pass of the bus monitor through the real main window on the
// simulated bench (offscreen): the controller reset and set-up, 100000 status
// reads, and the lines added to the bus log. The window takes no input while
// a pass runs, so a pass must stay well under the 5 ms timer period.
// The counter is the steady one the program runs on, so the 1 ms INIT pulse
// of the controller reset at the start of every pass is a real 1 ms here too.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <memory>

#include "benchmarks/qt_benchmark_main.h"
#include "platform/counter.h"
#include "simulator/simulated_bench.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"

using namespace ui;
using namespace eeprom;

namespace {

using simulator::BusEvent;
using simulator::BusTransfer;
using simulator::SimulatedBench;

// The window on a fresh bench with the monitor running.
class MonitorRig {
public:
    explicit MonitorRig(SimulatedBench::Traffic traffic) {
        ResetAppState();
        SimulatedBench::Config config;
        config.traffic = traffic;
        bench_ = std::make_unique<SimulatedBench>(clock_, config);
        SetActiveBench(bench_.get());
        dialog_ = std::make_unique<MainDialog>(nullptr, std::make_unique<eeprom::Session>(*bench_, clock_));
        dialog_->Monitor().OnMonitorToggle();
    }
    ~MonitorRig() {
        dialog_.reset();
        SetActiveBench(nullptr);
        bench_.reset();
        ResetAppState();
    }
    MainDialog& dialog() { return *dialog_; }
    SimulatedBench& bench() { return *bench_; }

private:
    platform::SteadyCounter clock_;
    std::unique_ptr<SimulatedBench> bench_;
    std::unique_ptr<MainDialog> dialog_;
};

void Report(benchmark::State& state, MonitorRig& rig, std::uint64_t played, int lines) {
    state.counters["transfers/pass"] = benchmark::Counter(
        static_cast<double>(rig.bench().TransfersPlayed() - played), benchmark::Counter::kAvgIterations);
    state.counters["lines/pass"] = benchmark::Counter(lines, benchmark::Counter::kAvgIterations);
}

void BM_PollPassIdle(benchmark::State& state) {
    MonitorRig rig(SimulatedBench::Traffic::None);
    for (auto _ : state) rig.dialog().Monitor().OnPollTimer();
    Report(state, rig, 0, rig.dialog().Monitor().m_busLog->count());
}
BENCHMARK(BM_PollPassIdle)->Unit(benchmark::kMillisecond);

// The demo speaks every 250 ms; a restart makes it speak at once, so that
// every pass measured carries one of its transfers.
void BM_PollPassDemo(benchmark::State& state) {
    MonitorRig rig(SimulatedBench::Traffic::Demo);
    const std::uint64_t played = rig.bench().TransfersPlayed();
    for (auto _ : state) {
        state.PauseTiming();
        rig.bench().RestartTraffic();
        state.ResumeTiming();
        rig.dialog().Monitor().OnPollTimer();
    }
    Report(state, rig, played, rig.dialog().Monitor().m_busLog->count());
}
BENCHMARK(BM_PollPassDemo)->Unit(benchmark::kMillisecond);

// The heaviest a pass gets: a burst of EEPROM reads of 256 bytes each,
// queued before every pass, all captured and logged within it.
void BM_PollPassBurst(benchmark::State& state) {
    MonitorRig rig(SimulatedBench::Traffic::None);
    BusTransfer read{{BusEvent::Kind::Start},
                     {BusEvent::Kind::Byte, 0xA0},
                     {BusEvent::Kind::Byte, 0x00},
                     {BusEvent::Kind::RepeatedStart},
                     {BusEvent::Kind::Byte, 0xA1}};
    for (int i = 0; i < 256; ++i)
        read.push_back({BusEvent::Kind::Byte, static_cast<std::uint8_t>(i), i < 255});
    read.push_back({BusEvent::Kind::Stop});
    const std::uint64_t played = rig.bench().TransfersPlayed();
    int lines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        lines += rig.dialog().Monitor().m_busLog->count();
        rig.dialog().Monitor().m_busLog->clear();
        for (int i = 0; i < 8; ++i) rig.bench().QueueTransfer(read);
        state.ResumeTiming();
        rig.dialog().Monitor().OnPollTimer();
    }
    Report(state, rig, played, lines + rig.dialog().Monitor().m_busLog->count());
}
BENCHMARK(BM_PollPassBurst)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv); }
