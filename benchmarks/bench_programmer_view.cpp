// The programmer window's hex editor at the largest common part (256 KiB):
// how long the first screen takes (a new editor shown, the buffer set, the
// first paint; goal under 100 ms) and what one page of a full scroll costs
// (PgDn and its repaint; goal under 16 ms a page). Also a cursor step with
// the checksums panel attached, which must stay free of hashing. Offscreen
// unless QT_QPA_PLATFORM says otherwise (QT_QPA_PLATFORM=xcb under xvfb-run
// includes a display server).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>
#include <numeric>
#include <vector>

#include "benchmarks/qt_benchmark_main.h"
#include "ui/programmer/checksums_panel.h"
#include "ui/programmer/hex_editor.h"

using namespace ui;

namespace {

constexpr std::size_t kPartBytes = 256 * 1024;

std::vector<std::uint8_t> PartImage() {
    std::vector<std::uint8_t> data(kPartBytes);
    std::iota(data.begin(), data.end(), std::uint8_t{0x20});
    return data;
}

void Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
}

// Counts the paints a widget gets, so a figure is known to include them.
class PaintCount final : public QObject {
public:
    explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Shows a top-level widget and lets the platform map it: until then a
// repaint paints nothing.
void ShowMapped(QWidget* widget) {
    widget->show();
    for (int i = 0; i < 100 && !(widget->windowHandle() && widget->windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents();
}

void BM_FirstScreen(benchmark::State& state) {
    const auto image = PartImage();
    int paints = 0;
    for (auto _ : state) {
        HexEditor editor;
        PaintCount count(editor.viewport());
        editor.resize(900, 700);
        ShowMapped(&editor);
        editor.SetData(image);
        editor.viewport()->repaint();
        paints += count.paints;
    }
    state.counters["paints"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FirstScreen)->Unit(benchmark::kMillisecond);

// One iteration scrolls from the top to the bottom a page at a time.
void BM_FullScrollByPages(benchmark::State& state) {
    HexEditor editor;
    editor.resize(900, 700);
    ShowMapped(&editor);
    editor.SetData(PartImage());
    editor.viewport()->repaint();
    PaintCount count(editor.viewport());
    std::int64_t pages = 0;
    double totalMs = 0;
    double slowestMs = 0;
    for (auto _ : state) {
        Press(&editor, Qt::Key_Home, Qt::ControlModifier);
        editor.viewport()->repaint();
        while (editor.CursorOffset() + 1 < static_cast<qint64>(kPartBytes)) {
            const auto start = std::chrono::steady_clock::now();
            Press(&editor, Qt::Key_PageDown);
            editor.viewport()->repaint();
            const double ms = MsSince(start);
            totalMs += ms;
            slowestMs = std::max(slowestMs, ms);
            ++pages;
        }
    }
    state.counters["pages"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kAvgIterations);
    state.counters["ms_per_page"] = totalMs / static_cast<double>(pages);
    state.counters["slowest_page_ms"] = slowestMs;
    state.counters["paints_per_page"] = static_cast<double>(count.paints) / static_cast<double>(pages);
}
BENCHMARK(BM_FullScrollByPages)->Unit(benchmark::kMillisecond);

// Shift+Right over a 256 KiB buffer with the checksums shown: the selection
// changes each step, the sums wait for the pause after the last one.
void BM_SelectStepWithChecksums(benchmark::State& state) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* editor = new HexEditor(&window);
    auto* sums = new ChecksumsPanel(editor, &window);
    layout->addWidget(editor);
    layout->addWidget(sums);
    window.resize(900, 800);
    ShowMapped(&window);
    editor->SetData(PartImage());
    sums->Refresh();
    const int computed = sums->Computations();
    for (auto _ : state) {
        Press(editor, Qt::Key_Right, Qt::ShiftModifier);
        editor->viewport()->repaint();
    }
    state.counters["sums_computed"] = sums->Computations() - computed;
}
BENCHMARK(BM_SelectStepWithChecksums)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv); }
