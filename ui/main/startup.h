// Start-up of the window: its command line mapped onto the backend options
// both faces share (startup/backend.h), and how the window shows that it runs
// on the bench or through ppdev.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "startup/analyzer_options.h"
#include "startup/backend.h"
#include "startup/bench_control.h"

namespace ui {

// The window's command line: the backend options both faces share, and the
// window's own.
struct StartupOptions {
    startup::BackendOptions adapter;
    bool benchWindow = false;       // --bench-window
    bool transfersWindow = false;   // --transfers-window
    bool programmerWindow = false;  // --programmer
    bool checkPorts = false;        // --check-ports
    bool adapterGiven = false;      // --bench, --direct, --ppdev, --adapter or --bench-adapter
    bool help = false;              // --help
    // --analyzer (with --analyzer-pins, --analyzer-rate): the monitor watches through it.
    std::optional<monitor::AnalyzerSettings> analyzer;
};

// Parses the program's arguments (the program name first). On a bad command
// line returns false with one sentence in `error`.
bool ParseCommandLine(const QStringList& arguments, StartupOptions& options, QString& error);
// The text --help prints.
QString CommandLineHelp();

// The shared backend, made the window's: its bench becomes the active one
// (the bench window and the chip list reach it there), and a trace that can
// no longer be written is reported in a message box as well as on stderr.
class AdapterBackend : public startup::AdapterBackend {
public:
    AdapterBackend() = default;
    ~AdapterBackend();
    bool Open(const StartupOptions& options, QString& error);
    QString BenchNotice() const { return QString::fromStdString(Notice()); }
};

// The adapter the window's "Adapter" menu remembers, in the words of the
// options: "" (automatic), "lpt1", "i2c-dev:/dev/i2c-3", "bench:i2c-dev",
// "bench:spidev", ...
QString RememberedAdapter();
void RememberAdapter(const QString& choice);
// Puts the remembered adapter into `options` (when the command line named
// none); false when there is none or it no longer parses.
bool ApplyRememberedAdapter(StartupOptions& options);
// The window's "Logic analyzer…" choice, in the words of the options, kept
// between runs; `on` false: the monitor watches through the adapter.
struct AnalyzerChoice {
    bool on = false;
    QString device;
    QString pins = QStringLiteral("scl=D0,sda=D1");
    QString rate = QStringLiteral("1M");
    QString file;  // a recorded capture watched instead of the device
    bool realtime = false;
};
AnalyzerChoice RememberedAnalyzer();
void RememberAnalyzer(const AnalyzerChoice& choice);
// The settings of `choice`; false with one sentence when a value is wrong.
bool AnalyzerSettingsOf(const AnalyzerChoice& choice, monitor::AnalyzerSettings& settings, QString& error);

// A few words naming the adapter the window runs on ("the parallel adapter",
// "the i2c-dev adapter /dev/i2c-7", "the i2c-dev adapter on the bench").
QString AdapterInUse();
// The parallel port --adapter lpt1|lpt2 holds the window to; 0: LPT1, else LPT2.
int HeldParallelPort();
// Straps the ORG pin of the bench's fake when the window runs on an adapter
// without an ORG line of its own; false otherwise.
bool StrapBenchOrg(bool high);

// The simulated bench the program runs on, nullptr on real hardware.
simulator::SimulatedBench* ActiveBench();
// Makes `bench` the active one (AdapterBackend and tests do this).
void SetActiveBench(simulator::SimulatedBench* bench);
// What the window does to the active bench (none on real hardware).
startup::BenchControl ActiveBenchControl();

// What the window caption carries after its own text on the bench, so that
// nobody mistakes the bench for a chip on the table; empty on hardware.
QString BenchCaptionMark();

}  // namespace ui
