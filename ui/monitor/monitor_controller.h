// The main window's bus monitor: the log list and its history, the 5 ms poll
// timer, the address filter, the "Bus transfers" window it feeds and the
// logic analyzer it may watch through. It owns those controls and that state;
// the window's message map binds the monitor's controls to its handlers. The
// handlers are defined in monitor/bus_monitor.cpp and
// monitor/analyzer_dialog.cpp.
#pragma once

#include <QComboBox>
#include <QObject>
#include <QTimer>

#include <memory>

#include "eeprom/session.h"
#include "monitor/live_analyzer.h"
#include "monitor/monitor_clock.h"
#include "monitor/transfer_decode.h"
#include "ui/resources/controls.h"

class QAction;

namespace ui {

class MainDialog;
class TransfersWindow;

class MonitorController : public QObject {
public:
    MonitorController(MainDialog& window, eeprom::Session& session);
    ~MonitorController() override;

    resources::ListBox* m_busLog = nullptr;  // 1014 bus monitor log
    QComboBox* m_logHistory = nullptr;       // 1063 history of bus-log lines
    // The poll timer (timer id 10): 5 ms, runs while the bus monitor runs;
    // its timeout is OnPollTimer.
    QTimer* m_pollTimer = nullptr;

    void OnMonitorToggle();
    void OnPollTimer();
    void OnFilterKillFocus();
    void OnLogHistorySelChange() {}

    // --- Bus transfers window -------------------------------------------------
    // Opens the decoded view of what the monitor captures, or brings it forward.
    void ShowTransfersWindow();
    TransfersWindow* OpenedTransfersWindow() const { return transfersWindow_; }
    QAction* TransfersWindowAction() const { return transfersWindowAction_; }
    // The transfers the monitor saw since it last started.
    const monitor::TransferLog& Transfers() const { return transferLog_; }
    void AddTransfersWindowEntry();

    // --- Logic analyzer (ui/monitor/analyzer_dialog.cpp) -----------------------
    // The context menu's "Logic analyzer…": the dialog that chooses it, remembered between runs.
    QAction* AnalyzerAction() const { return analyzerAction_; }
    void ChooseAnalyzer();
    // From now on the monitor watches through the analyzer of `settings`, or
    // through the adapter again when null; a running monitor is stopped first.
    void UseAnalyzer(const monitor::AnalyzerSettings* settings);
    monitor::LiveAnalyzer* Analyzer() const { return analyzer_.get(); }
    void AddAnalyzerEntry();

private:
    // Stops the monitor, says why the analyzer ended.
    void AnalyzerEnded();

    MainDialog& window_;
    eeprom::Session& session_;
    // The analyzer the monitor watches through, if any; the adapter's own
    // sniffer is kept to go back to.
    std::unique_ptr<monitor::LiveAnalyzer> analyzer_;
    hardware::BusSniffer* adapterSniffer_ = session_.sniffer;
    QAction* analyzerAction_ = nullptr;
    monitor::TransferLog transferLog_;
    // Monitor time: the clock of the adapter whose bus it watches.
    monitor::MonitorClock monitorClock_{session_.Time()};
    QAction* transfersWindowAction_ = nullptr;
    TransfersWindow* transfersWindow_ = nullptr;
};

}  // namespace ui
