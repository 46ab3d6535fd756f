// Start-up: the command line, the choice of the adapter backend (real ports,
// ppdev or the simulated bench), the port trace, and how the window shows
// that it runs on the bench.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

#include "simulator/simulated_bench.h"

namespace platform {
class PortIo;
class TracingPortIo;
}  // namespace platform

namespace ui {

struct StartupOptions {
    enum class Backend { Auto, Bench, Direct, Ppdev };
    Backend backend = Backend::Auto;
    simulator::SimulatedBench::Port benchPort = simulator::SimulatedBench::Port::Lpt1;
    QStringList ppdevDevices;  // --ppdev DEV1[,DEV2]
    QString traceFile;         // --trace FILE ("-": standard output)
    QString trafficFile;       // --traffic FILE (bench only)
    QString benchChip;         // --bench-chip NAME (bench only), as the chip list spells it
    bool benchWindow = false;  // --bench-window
    bool transfersWindow = false;  // --transfers-window
    bool checkPorts = false;   // --check-ports
    bool help = false;         // --help
};

// Parses the program's arguments (the program name first). On a bad command
// line returns false with one sentence in `error`.
bool ParseCommandLine(const QStringList& arguments, StartupOptions& options, QString& error);
// The text --help prints.
QString CommandLineHelp();

// The adapter backend of one run, installed as the program's port backend while the
// object lives (the previous backend comes back when it dies).
class AdapterBackend {
public:
    AdapterBackend();
    ~AdapterBackend();
    AdapterBackend(const AdapterBackend&) = delete;
    AdapterBackend& operator=(const AdapterBackend&) = delete;

    // Chooses, opens and installs the backend the options ask for. Returns
    // false with one sentence in `error` when a forced backend cannot be
    // used, or the trace or capture file cannot be opened.
    bool Open(const StartupOptions& options, QString& error);

    bool OnBench() const { return bench_ != nullptr; }
    simulator::SimulatedBench* Bench() const { return bench_.get(); }
    // One line for stderr on the bench: why the bench was chosen.
    QString BenchNotice() const { return notice_; }

private:
    std::unique_ptr<platform::PortIo> hardware_;
    std::unique_ptr<simulator::SimulatedBench> bench_;
    std::unique_ptr<platform::TracingPortIo> trace_;
    platform::PortIo* previous_ = nullptr;
    bool installed_ = false;
    QString notice_;
};

// The simulated bench the program runs on, nullptr on real hardware.
simulator::SimulatedBench* ActiveBench();
// Makes `bench` the active one (AdapterBackend and tests do this).
void SetActiveBench(simulator::SimulatedBench* bench);

// What the window caption carries after its own text on the bench, so that
// nobody mistakes the bench for a chip on the table; empty on hardware.
QString BenchCaptionMark();

}  // namespace ui
