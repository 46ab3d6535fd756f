// One refresh tick of the bench window, painting included, on the offscreen
// platform: idle (nothing changed), a busy tick (bytes in every chip, the
// latch and a DAC channel changed, as a demo master and a serial transfer
// leave them), and the worst case of a whole 24C16 rewritten at once. Each
// tab is measured in view in turn. A tick must stay well under 2 ms so that
// the main window answers as quickly with the bench window open as without.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>

#include <memory>

#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/simulated_bench.h"
#include "ui/bench/bench_window.h"

using namespace ui;

namespace {

struct Setting {
    platform::VirtualCounter counter;
    simulator::SimulatedBench bench{counter};
    std::unique_ptr<BenchWindow> window;

    Setting() {
        window = std::make_unique<BenchWindow>(bench);
        window->show();
        QApplication::processEvents();
    }
    ~Setting() { window.reset(); }

    // What the refresh picks up and paints; done outside the measured time.
    void ChangeSomething(int step, bool wholeEeprom) {
        std::vector<std::uint8_t>& eeprom = bench.Eeprom();
        const auto value = static_cast<std::uint8_t>(step);
        if (wholeEeprom) {
            std::fill(eeprom.begin(), eeprom.end(), value);
            return;
        }
        for (int i = 0; i < 16; ++i) eeprom[static_cast<std::size_t>((step * 16 + i * 37) % 2048)] = value;
        bench.SetRegister(0x40, static_cast<std::uint8_t>(step), value);
        bench.SetRegister(0x90, static_cast<std::uint8_t>(step * 7), value);
        if (simulator::SerialChip* chip = bench.SocketChip(); chip && !chip->Memory().empty())
            chip->Memory()[static_cast<std::size_t>(step) % chip->Memory().size()] = value;
        LoadLatch(static_cast<std::uint8_t>(step & 1 ? 0xFD : 0x7D));  // the clock line moved
    }

    void LoadLatch(std::uint8_t value) {
        bench.Out(0x378, value);
        bench.Out(0x37A, 0x00);
        bench.Out(0x37A, 0x04);  // the rising /INIT loads the latch
    }

    void Tick() {
        window->Refresh();
        QApplication::processEvents();  // the repaints the refresh asked for
    }
};

// Built in main(), after the application object, and gone before it.
Setting* currentSetting = nullptr;
Setting& TheSetting() { return *currentSetting; }

void ShowTab(int tab, const char* socketChip) {
    Setting& s = TheSetting();
    s.bench.SetFixedSocketChip(socketChip);
    s.window->findChild<QTabWidget*>()->setCurrentIndex(tab);
    s.Tick();
}

void BM_RefreshIdle(benchmark::State& state) {
    ShowTab(static_cast<int>(state.range(0)), "93C86");
    Setting& s = TheSetting();
    for (auto _ : state) s.Tick();
}

// Ticks, each after `change` (outside the measured time).
template <class Change>
void TicksAfter(benchmark::State& state, Change change) {
    Setting& s = TheSetting();
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        change(s, ++step);
        state.ResumeTiming();
        s.Tick();
    }
}

void BM_RefreshBusy(benchmark::State& state) {
    ShowTab(static_cast<int>(state.range(0)), "93C86");
    TicksAfter(state, [](Setting& s, int step) { s.ChangeSomething(step, false); });
}

void BM_RefreshBusyWithDac(benchmark::State& state) {
    ShowTab(0, "M62358,M62359");
    TicksAfter(state, [](Setting& s, int step) {
        s.ChangeSomething(step, false);
        // A converter frame: channel 1 gets a new value.
        for (int bit = 0; bit < 14; ++bit) {
            const int level = bit == 0 || (bit >= 6 && ((step >> (13 - bit)) & 1)) ? 0x40 : 0;
            for (int clock : {0, 0x80}) s.LoadLatch(static_cast<std::uint8_t>(0x10 | level | clock));
        }
        s.LoadLatch(0x20);
    });
}

void BM_RefreshWholeEepromRewritten(benchmark::State& state) {
    ShowTab(0, "93C86");
    TicksAfter(state, [](Setting& s, int step) { s.ChangeSomething(step, true); });
}

// Tabs: 0 the 24C16, 1 a register device, 5 the socket.
BENCHMARK(BM_RefreshIdle)->Arg(0)->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshBusy)->Arg(0)->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshBusyWithDac)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshWholeEepromRewritten)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto setting = std::make_unique<Setting>();
    currentSetting = setting.get();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    setting.reset();
    benchmark::Shutdown();
    return 0;
}
