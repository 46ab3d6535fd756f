// MainDialog: the tool's one window (template 102), run modally by ToolApp.
// It owns the adapter session the engine works on, keeps the values of the
// edits every area shares in m_ members, moves them to and from the controls
// with UpdateData(), and binds every control notification to one handler in
// ConnectMessageMap(). The window's areas are controllers it owns, each with
// its controls, state and handlers, in the ui/ folder of its subsystem:
//   eeprom/chip_controller.h      the chip list, hex view, transfers, image files, safety net
//   monitor/monitor_controller.h  the bus monitor, its transfers window and logic analyzer
//   console/console_controller.h  the send console and the remarks base
//   panels/panels_controller.h    the extended sliders panel button
// The window itself keeps the adapter's controls and the entries of its
// context menu that open other windows:
//   main/main_dialog.cpp          construction, data exchange, message map, start-up, About
//   main/adapter_controls.cpp     "Reset PCF ", LPT1/LPT2, device and user lines
//   main/adapter_choice.cpp       the "Adapter" menu; the controls an adapter without the latch lacks
//   bench/bench_window_entry.cpp  the bench window
//   programmer/programmer_window_entry.cpp  the chip programmer window
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <memory>

#include "eeprom/session.h"
#include "ui/console/console_controller.h"
#include "ui/eeprom/chip_controller.h"
#include "ui/monitor/monitor_controller.h"
#include "ui/panels/panels_controller.h"
#include "ui/resources/controls.h"
#include "ui/resources/dialog_template.h"
#include "ui/resources/main_window_ids.h"

class QAction;

namespace ui {

class BenchWindow;
class ProgrammerWindow;

class MainDialog : public QDialog {
    Q_OBJECT
    // Declared first: every member built after it may use it.
    std::unique_ptr<eeprom::Session> session_;

public:
    // The window takes `session`, whose adapter talks through the port
    // backend of the run.
    MainDialog(QWidget* parent, std::unique_ptr<eeprom::Session> session);
    ~MainDialog() override;

    // The adapter, image, marks, chip parameters and flags the handlers work on.
    eeprom::Session& session() const { return *session_; }
    // The areas of the window, each with its controls, state and handlers.
    MonitorController& Monitor() const { return *monitor_; }
    ConsoleController& Console() const { return *console_; }
    PanelsController& Panels() const { return *panels_; }
    ChipController& Chip() const { return *chip_; }

    // Dialog data exchange. save = true reads the controls into the value
    // members, false writes the members into the controls. Returns false when
    // a control's text fails its validation (that member keeps its value).
    bool UpdateData(bool save = true);

    // The control with a template id, typed; nullptr when missing or of
    // another type.
    QWidget* Control(int id) const { return builder_.Control(id); }
    template <class T>
    T* Control(int id) const {
        return builder_.Control<T>(id);
    }
    QPushButton* Button(int id) const { return Control<QPushButton>(id); }
    QLineEdit* Edit(int id) const { return Control<QLineEdit>(id); }
    const resources::DialogBuilder& Builder() const { return builder_; }
    // The About entry (context menu and F1).
    QAction* AboutAction() const { return aboutAction_; }

    // --- Control members, in binding order -------------------------------
    QCheckBox* m_output2 = nullptr;   // 1092 "Output2"
    QCheckBox* m_output1 = nullptr;   // 1091 "Output1"
    QCheckBox* m_resetDev = nullptr;  // 1087 "Reset Dev"
    QCheckBox* m_stopDev = nullptr;   // 1090 "Stop Dev"

    // --- Value members, in exchange order --------------------------------
    QString m_sendSubAddress;  // 1001, 2 hex digits
    QString m_sendAddress;     // 1000, 2 hex digits
    QString m_deviceAddress;   // 1051, 2 hex digits
    QString m_sendData;        // 1017, read-only
    QString m_remarkText;      // 1058, at most 80 characters
    QString m_byteOffset;      // 1062, read-only
    int m_page = 0;            // 1071, read-only, 0..7
    QString m_compareValue;    // 1075, read-only
    QString m_byteValue;       // 1086, 2 hex digits
    QString m_filter;          // 1002, 2 hex digits
    QIcon m_hIcon;             // icon 128

    // --- Start-up and window ---------------------------------------------
    // Start values, port choice, first hex-view fill; the constructor runs it.
    void OnInitDialog();
    // The port choice at start: LPT1, else LPT2, else LPT1 again.
    void ChoosePortAtStart();
    // The About entry (command kAboutCommand); other commands do nothing here.
    void OnSysCommand(int command);
    // Repaints the window and the hex view's highlights.
    void Invalidate();

    // --- Adapter controls -------------------------------------------------
    void OnResetPcf();
    void OnLpt1();
    void OnLpt2();
    void OnStopDev();
    void OnResetDev();
    void OnOutput1();
    void OnOutput2();

    // --- Bench window (simulated bench only; ui/bench/bench_window_entry.cpp) --------
    // Opens the bench's own window beside this one, or brings it forward.
    void ShowBenchWindow();
    BenchWindow* OpenedBenchWindow() const { return benchWindow_; }
    // The context-menu entry; nullptr on real hardware.
    QAction* BenchWindowAction() const { return benchWindowAction_; }

    // --- Adapter choice (ui/main/adapter_choice.cpp) ------------------------
    // The context menu's "Adapter" entry: the adapters the survey finds and
    // the bench's, the remembered one checked. A choice is remembered and
    // used from the next start, which the window says.
    QAction* AdapterAction() const { return adapterAction_; }
    void ChooseAdapter(const QString& choice, const QString& text);

    // --- Chip programmer (ui/programmer/programmer_window_entry.cpp) ------------
    // Opens the programmer window over this one, or brings it forward.
    void ShowProgrammerWindow();
    ProgrammerWindow* OpenedProgrammerWindow() const { return programmerWindow_; }
    QAction* ProgrammerWindowAction() const { return programmerWindowAction_; }

    // --- Handlers that do nothing (kept so the map reads as the table) ---
    void OnExample() {}

protected:
    void done(int result) override;

private:
    void ConnectMessageMap();
    void BindControls();
    void SetUpEdits();
    void SelectPort(int base);
    void ProbeAt(int base);
    void SetLine(int bit, bool on);

    resources::DialogBuilder builder_;
    QAction* aboutAction_ = nullptr;

    // Adapter choice (ui/main/adapter_choice.cpp).
    void AddAdapterEntry();
    // On an adapter without the parallel adapter's latch: the controls that
    // need it disabled, each with a tooltip that says why.
    void ApplyAdapterLimits();
    // The start-up on such an adapter, in place of the port choice.
    void StartWithoutLatch();
    QAction* adapterAction_ = nullptr;

    // Bench window (ui/bench/bench_window_entry.cpp).
    void AddBenchWindowEntry();
    QAction* benchWindowAction_ = nullptr;
    BenchWindow* benchWindow_ = nullptr;

    // Chip programmer (ui/programmer/programmer_window_entry.cpp).
    void AddProgrammerWindowEntry();
    QAction* programmerWindowAction_ = nullptr;
    ProgrammerWindow* programmerWindow_ = nullptr;

    // The areas, made once the controls are built; each goes before the
    // session it works on.
    std::unique_ptr<ConsoleController> console_;
    std::unique_ptr<PanelsController> panels_;
    std::unique_ptr<MonitorController> monitor_;
    std::unique_ptr<ChipController> chip_;
};

}  // namespace ui
