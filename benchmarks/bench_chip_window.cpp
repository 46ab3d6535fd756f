// Chip transfers through the main window on the bench with the real counter:
// how much the program's own work (handlers, frames, progress bar, the
// bench's models) adds to the waits the chips need, against a budget of 5%;
// and what one progress-bar step costs, painted or not. The window runs on
// the offscreen platform unless QT_QPA_PLATFORM says otherwise (run under
// xvfb-run with QT_QPA_PLATFORM=xcb to include a display server).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProgressBar>

#include <chrono>
#include <memory>

#include "benchmarks/qt_benchmark_main.h"
#include "eeprom/chip_table.h"
#include "eeprom/image.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/simulated_bench.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"
#include "ui/main/ui_seams.h"

using namespace ui;
using namespace eeprom;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The window on a fresh bench, as the program starts on it, with `counter`
// as the clock (nullptr: the real one).
class WindowRig {
public:
    explicit WindowRig(platform::Counter* counter)
        : counter_(counter ? *counter : steady_), bench_(counter_) {
        ResetAppState();
        SetActiveBench(&bench_);
        previousSeams_ = InstallUiSeams({[this](const QString&) { ++messages; }, {}, {}});
        dialog_ = std::make_unique<MainDialog>(nullptr, std::make_unique<eeprom::Session>(bench_, counter_));
        dialog_->show();
        QCoreApplication::processEvents();
    }
    ~WindowRig() {
        dialog_.reset();
        InstallUiSeams(previousSeams_);
        SetActiveBench(nullptr);
        ResetAppState();
    }
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    void Choose(const char* entry) {
        const int index = dialog_->Chip().m_chipList->findText(QString::fromLatin1(entry), Qt::MatchExactly);
        dialog_->Chip().m_chipList->setCurrentIndex(index);
        emit dialog_->Chip().m_chipList->activated(index);
    }
    MainDialog& dialog() { return *dialog_; }
    int messages = 0;

private:
    platform::SteadyCounter steady_;
    platform::Counter& counter_;
    simulator::SimulatedBench bench_;
    UiSeams previousSeams_;
    std::unique_ptr<MainDialog> dialog_;
};

enum class Transfer { SerialWrite, I2cRead, I2cWrite };

// One transfer through its button's handler, timed on the wall clock.
//   real counter: the whole run against the chips' waits (oversleep and
//     a busy machine's scheduling included);
//   virtual counter: the waits cost (almost) nothing, so the wall time is
//     the program's own work (and the bench's), against the same waits.
// Waits: a serial write sleeps 5 ms after its write-enable frame and 5 ms
// after its write frame per unit (the verify read has none); an I2C page
// read waits 15 ms after each byte plus three 1 ms latch pulses (the
// probe's two controller resets and the page's own), a page write 10 ms
// after each byte.
void BM_WindowTransfer(benchmark::State& state, Transfer transfer, const char* entry, bool realCounter) {
    platform::VirtualCounter virtualClock;
    WindowRig rig(realCounter ? nullptr : &virtualClock);
    if (entry) rig.Choose(entry);
    const double waitsMs = transfer == Transfer::SerialWrite
                               ? 2.0 * 5.0 * rig.dialog().session().chip.capacity
                           : transfer == Transfer::I2cRead ? 256 * 15.0 + 3 * 1.0
                                                           : 256 * 10.0;
    double elapsedMs = 0;
    for (auto _ : state) {
        rig.dialog().session().image[0] ^= 1;
        const auto start = Clock::now();
        if (transfer == Transfer::I2cRead) {
            rig.dialog().Chip().OnReadEeprom();
        } else {
            rig.dialog().Chip().OnWriteEeprom();
        }
        elapsedMs += MsSince(start);
    }
    elapsedMs /= static_cast<double>(state.iterations());
    state.counters["elapsed_ms"] = elapsedMs;
    state.counters["chip_waits_ms"] = waitsMs;
    if (realCounter) {
        state.counters["over_waits_pct"] = 100.0 * (elapsedMs - waitsMs) / waitsMs;
    } else {
        state.counters["own_work_pct"] = 100.0 * elapsedMs / waitsMs;
    }
    state.counters["messages"] = rig.messages;
}
BENCHMARK_CAPTURE(BM_WindowTransfer, Write93C06_8_real, Transfer::SerialWrite, "93C06 (8)", true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_WindowTransfer, WriteAT25C010_real, Transfer::SerialWrite, "AT25C010", true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(BM_WindowTransfer, I2cReadPage_real, Transfer::I2cRead, nullptr, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_WindowTransfer, I2cWritePage_real, Transfer::I2cWrite, nullptr, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_WindowTransfer, Write93C06_8_virtual, Transfer::SerialWrite, "93C06 (8)", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowTransfer, WriteAT25C010_virtual, Transfer::SerialWrite, "AT25C010", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowTransfer, I2cReadPage_virtual, Transfer::I2cRead, nullptr, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowTransfer, I2cWritePage_virtual, Transfer::I2cWrite, nullptr, false)
    ->Unit(benchmark::kMillisecond);

// A whole 93C86 read has no waits at all: it is all the program's (and the
// bench's) work, and the bar's share of it.
void BM_WindowSerialRead93C86(benchmark::State& state) {
    WindowRig rig(nullptr);
    rig.Choose("93C86 (8)");
    for (auto _ : state) rig.dialog().Chip().OnReadEeprom();
}
BENCHMARK(BM_WindowSerialRead93C86)->Unit(benchmark::kMillisecond);

// One bar step over a 2048-unit transfer: setValue alone (it paints itself
// when the bar grows visibly), or followed by a forced repaint each time.
void BM_BarStep(benchmark::State& state) {
    const bool forceRepaint = state.range(0) != 0;
    QProgressBar bar;
    bar.setTextVisible(false);
    bar.resize(94, 20);  // the window's bar: 47 dialog units wide
    bar.setRange(0, 2048);
    bar.show();
    QCoreApplication::processEvents();
    int value = 0;
    for (auto _ : state) {
        value = value == 2048 ? 0 : value + 1;
        bar.setValue(value);
        if (forceRepaint) bar.repaint();
    }
    state.SetLabel(forceRepaint ? "setValue + repaint" : "setValue");
}
BENCHMARK(BM_BarStep)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv); }
