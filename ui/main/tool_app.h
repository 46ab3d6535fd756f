// ToolApp: the application object. It runs MainDialog modally; the program
// ends when the window closes.
#pragma once

#include <QApplication>

#include <memory>
#include <optional>

#include "eeprom/session.h"
#include "monitor/live_analyzer.h"

namespace ui {

class ToolApp : public QApplication {
    Q_OBJECT
public:
    ToolApp(int& argc, char** argv);
    ~ToolApp() override;

    // Builds the main window, runs it modally and returns false: there is no
    // event loop after the window.
    bool InitInstance();

    // --bench-window: open the bench's window beside the main window.
    bool openBenchWindow = false;
    // --transfers-window: open the bus transfers window too.
    bool openTransfersWindow = false;
    // --programmer: open the chip programmer over the main window.
    bool openProgrammerWindow = false;
    // The session the window takes over (built before the application).
    std::unique_ptr<eeprom::Session> session;
    // A warning about the adapter (a USB board's 5 V lines), shown once the
    // window is up; empty: none.
    QString adapterWarning;
    // The logic analyzer the monitor watches through (--analyzer, else the
    // one chosen in the window and remembered).
    std::optional<monitor::AnalyzerSettings> analyzer;
};

// Where the window's adapters send the counter check's message: the message
// box once the application object exists, stderr before.
hardware::CounterErrorSink WindowCounterErrors();

// The whole program: command line, backend, application object, window.
// Returns the process exit status.
int RunMerlix(int argc, char** argv);

}  // namespace ui
