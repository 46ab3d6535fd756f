// The bus monitor: start and stop, the 5 ms capture pass, the address filter,
// and the "Bus transfers" window it feeds. The capture, the line format, the
// history rule, the replay and the decoding live in monitor/; these handlers
// move controls and adapter state around them.
#include <QAction>

#include <algorithm>
#include <string>
#include <vector>

#include "eeprom/image.h"
#include "monitor/monitor_logic.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"
#include "ui/main/window_fit.h"
#include "ui/monitor/transfers_window.h"

namespace ui {

using namespace monitor;

namespace {

std::vector<std::string> ListTexts(const QListWidget& list) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i) texts.push_back(list.item(i)->text().toStdString());
    return texts;
}

std::vector<std::string> ComboTexts(const QComboBox& combo) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(combo.count()));
    for (int i = 0; i < combo.count(); ++i) texts.push_back(combo.itemText(i).toStdString());
    return texts;
}

// Brings the history combo in line with AppendToHistory's result: entries
// only ever leave at the front and arrive at the back, and a run of new lines
// longer than the history may push out some of its own first lines too.
void AppendLinesToHistory(QComboBox& history, const std::vector<std::string>& lines) {
    std::vector<std::string> entries = ComboTexts(history);
    const int before = static_cast<int>(entries.size());
    const int appended = AppendToHistory(entries, lines);
    const int oldDropped = std::min(before + appended - static_cast<int>(entries.size()), before);
    for (int i = 0; i < oldDropped; ++i) history.removeItem(0);
    for (std::size_t i = static_cast<std::size_t>(before - oldDropped); i < entries.size(); ++i) {
        history.addItem(QString::fromStdString(entries[i]));
    }
}

}  // namespace

MonitorController::MonitorController(MainDialog& window, eeprom::Session& session)
    : window_(window), session_(session) {
    m_busLog = window.Control<resources::ListBox>(ids::kBusLog);
    m_logHistory = window.Control<QComboBox>(ids::kLogHistory);
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(5);
}

MonitorController::~MonitorController() {
    // The transfers window reads the log and the remarks, which go before
    // the window would delete it.
    delete transfersWindow_;
}

void MonitorController::OnMonitorToggle() {
    // Without a controller there is nothing to monitor. A monitor already
    // running is still stopped: a probe made meanwhile (Enter is "Reset PCF ")
    // may have lost the controller, and the button must never get stuck on
    // "Monitor OFF" with the timer ticking on. A logic analyzer needs no
    // controller: it watches on its own.
    if (session_.monitorOn == 0 && !session_.sniffer) {
        ShowMessage(QString::fromLatin1(monitor::kCannotWatchMessage));
        return;
    }
    hardware::BusSniffer& sniffer = *session_.sniffer;
    const bool ownController = !analyzer_;
    if (session_.monitorOn == 0 && ownController && session_.controllerPresent == 0) return;

    if (session_.monitorOn == 0) {
        m_pollTimer->start();
        session_.monitorOn = 1;
        hardware::PortAdapter* parallel = session_.Parallel();
        if (parallel && window_.m_resetDev->isChecked()) {
            // The pulse "Reset Dev" armed; it is given once.
            window_.m_resetDev->setChecked(false);
            parallel->ResetAdapter(1, parallel->Latch());
            window_.UpdateData(false);
        }
        if (parallel && window_.m_stopDev->isChecked()) {
            // The device is released from its stopped state as capturing begins.
            window_.m_stopDev->setChecked(false);
            parallel->SetLatchBit(hardware::kLineDevA);
            parallel->ClearLatchBit(hardware::kLineDevB);
            parallel->WriteLatch(parallel->Latch());
            parallel->ResetAdapter(0, parallel->Latch());
            window_.UpdateData(false);
        }
        StartMonitor(sniffer);
        if (!sniffer.Trouble().empty()) {
            m_pollTimer->stop();
            session_.monitorOn = 0;
            ShowMessage(QString::fromStdString(sniffer.Trouble()));
            return;
        }
        m_busLog->clear();
        monitorClock_.Follow(sniffer);
        transferLog_.Start(monitorClock_.NowUs());
        if (transfersWindow_) transfersWindow_->Reset();
        window_.Button(ids::kMonitor)->setText(QStringLiteral("Monitor OFF"));
        return;
    }

    m_pollTimer->stop();
    StopMonitor(sniffer);
    if (ownController) window_.OnResetPcf();
    window_.Button(ids::kMonitor)->setText(QStringLiteral("Monitor ON"));
    session_.monitorOn = 0;

    const std::vector<std::string> lines = ListTexts(*m_busLog);
    AppendLinesToHistory(*m_logHistory, lines);
    std::string deviceAddress = window_.m_deviceAddress.toStdString();
    const ImageStep step(window_.Chip(), "Monitor replay");
    ReplayLog(lines, session_.image, session_.marks, window_.m_page, deviceAddress);
    window_.m_deviceAddress = QString::fromStdString(deviceAddress);
    window_.Chip().RefreshHexView();
    window_.UpdateData(false);
}

void MonitorController::OnPollTimer() {
    if (!analyzer_ && session_.controllerPresent == 0) return;
    // The controller is set up afresh for every pass, so that whatever
    // happened between passes (a probe, a line change) never ends capturing.
    MonitorPass(
        *session_.sniffer, session_.filterRead, session_.filterWrite,
        [this](std::string_view line) {
            m_busLog->addItem(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
        },
        [this](const hardware::TransferBuffer& transfer) {
            if (auto decoded = DecodeTransfer(transfer)) {
                transferLog_.Add(std::move(*decoded), monitorClock_.At(transfer.StartUs()));
            }
        });
    if (transfersWindow_) transfersWindow_->Refresh();
    if (!session_.sniffer->Trouble().empty()) AnalyzerEnded();
    // A recorded capture played to its end: the monitor stops as on a click,
    // and its transfers are replayed into the image.
    if (analyzer_ && analyzer_->Finished() && session_.monitorOn) OnMonitorToggle();
}

void MonitorController::AnalyzerEnded() {
    // The lines it gave stay, replayed into the image as on any stop.
    const QString why = QString::fromStdString(session_.sniffer->Trouble());
    if (session_.monitorOn) OnMonitorToggle();
    ShowMessage(why);
}

void MonitorController::OnFilterKillFocus() {
    window_.UpdateData(true);
    const MonitorFilter filter = FilterBytes(HexTextValue(window_.m_filter));
    session_.filterRead = filter.read;
    session_.filterWrite = filter.write;
    window_.UpdateData(false);
}

void MonitorController::AddTransfersWindowEntry() {
    transfersWindowAction_ = new QAction(QStringLiteral("Bus &transfers"), &window_);
    window_.addAction(transfersWindowAction_);
    window_.setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(transfersWindowAction_, &QAction::triggered, this, &MonitorController::ShowTransfersWindow);
}

void MonitorController::ShowTransfersWindow() {
    if (!transfersWindow_) {
        // Names come from the remarks base as it stands when a row is drawn.
        auto names = [this](std::uint8_t address, std::uint8_t reg) {
            return console::DisplayText(console::RegisterNote(window_.Console().m_remarkLines, address, reg))
                .toStdString();
        };
        auto now = [this] { return monitorClock_.NowUs(); };
        transfersWindow_ = new TransfersWindow(transferLog_, names, now, &window_);
        FitWindowToScreen(*transfersWindow_);
    }
    transfersWindow_->Refresh();
    transfersWindow_->show();
    transfersWindow_->raise();
    transfersWindow_->activateWindow();
}

}  // namespace ui
