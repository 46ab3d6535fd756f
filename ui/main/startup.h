// Start-up of the window: its command line mapped onto the backend options
// both faces share (startup/backend.h), and how the window shows that it runs
// on the bench or through ppdev.
#pragma once

#include <QString>
#include <QStringList>

#include "simulator/simulated_bench.h"
#include "startup/backend.h"

namespace ui {

// The window's command line: the backend options both faces share, and the
// window's own.
struct StartupOptions {
    using Backend = startup::BackendOptions::Backend;
    startup::BackendOptions adapter;
    bool benchWindow = false;      // --bench-window
    bool transfersWindow = false;  // --transfers-window
    bool checkPorts = false;       // --check-ports
    bool help = false;             // --help
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

// The simulated bench the program runs on, nullptr on real hardware.
simulator::SimulatedBench* ActiveBench();
// Makes `bench` the active one (AdapterBackend and tests do this).
void SetActiveBench(simulator::SimulatedBench* bench);

// What the window caption carries after its own text on the bench, so that
// nobody mistakes the bench for a chip on the table; empty on hardware.
QString BenchCaptionMark();

}  // namespace ui
