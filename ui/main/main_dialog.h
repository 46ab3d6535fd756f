// MainDialog: the tool's one window (template 102), run modally by ToolApp.
// It owns the adapter session the engine works on, keeps its controls'
// values in m_ members, moves them to and from the controls with
// UpdateData(), and binds every control notification to one handler in
// ConnectMessageMap(). The class is declared here; each handler is defined
// in the ui/ folder of its subsystem:
//   main/main_dialog.cpp          construction, data exchange, message map, start-up, About
//   main/adapter_controls.cpp     "Reset PCF ", LPT1/LPT2, device and user lines
//   main/adapter_choice.cpp       the "Adapter" menu; the controls an adapter without the latch lacks
//   monitor/monitor_controller.h  the bus monitor, its transfers window and logic analyzer
//   eeprom/hex_view_handlers.cpp  the hex view, page, marks, bus-log selection
//   eeprom/chip_handlers.cpp      chip list, read/write/fill, serial chips
//   eeprom/image_file_handlers.cpp  image files
//   eeprom/backup_handlers.cpp    backups, restore, verify report, checksums, undo, F3
//   console/send_console.cpp      the send console
//   console/remarks_handlers.cpp  the remarks base
//   panels/panel_handlers.cpp     the extended sliders panel button
//   programmer/programmer_window_entry.cpp  the chip programmer window
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QIcon>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>

#include <memory>
#include <string>

#include "console/remarks_logic.h"
#include "eeprom/backup.h"
#include "eeprom/hex_edit.h"
#include "eeprom/session.h"
#include "ui/console/console_controller.h"
#include "ui/eeprom/hex_view.h"
#include "ui/eeprom/undo.h"
#include "ui/monitor/monitor_controller.h"
#include "ui/panels/panels_controller.h"
#include "ui/resources/controls.h"
#include "ui/resources/dialog_template.h"
#include "ui/resources/main_window_ids.h"

class QAction;
class QKeyEvent;

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
    // The hex view's nibble entry (tests read it).
    eeprom::HexEntryState& HexEntry() { return hexEntry_; }

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
    QComboBox* m_chipList = nullptr;     // 1093 chip type list
    QCheckBox* m_output2 = nullptr;      // 1092 "Output2"
    QCheckBox* m_output1 = nullptr;      // 1091 "Output1"
    QCheckBox* m_resetDev = nullptr;     // 1087 "Reset Dev"
    QCheckBox* m_stopDev = nullptr;      // 1090 "Stop Dev"
    QCheckBox* m_compBuffer = nullptr;   // 1084 "CompBuffer"
    QProgressBar* m_progress = nullptr;  // 1074
    HexView* m_hexView = nullptr;        // 1011 hex view of one page

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

    // --- Memory image and hex view ---------------------------------------
    void RefreshHexView();
    // Runs before every paint of the hex view: the compare marking.
    void DrawHexOverlay();
    // Highlight colour of the byte at an in-page offset of the shown page.
    QColor HexMarkColour(int offset) const;
    void OnPrevPage();
    void OnNextPage();
    void OnClearColors();
    void OnCompBuffer();
    void OnSwapBytes();
    void OnHexViewSetFocus();
    void OnHexViewKillFocus();
    void OnHexViewSelChange();
    void OnHexViewDblClk();
    void OnBusLogSelChange();
    void OnBusLogDblClk();
    // Keyboard editing in the hex view; true when the key was used up.
    bool PreTranslateKey(QKeyEvent* event);
    // Shows the image byte under m_byteOffset in the value edit (and the
    // snapshot byte in the compare edit), members and controls alike.
    void ShowByteUnderOffset();

    // --- Chip table and transfers ----------------------------------------
    void OnChipSelChange();
    void OnReadEeprom();
    void OnWriteEeprom();
    void OnFillZero();
    void ReadSerialEeprom();
    void WriteSerialEeprom();

    // --- Safety net: backups, restore, verify report, checksums, undo ------
    // Backs up what "Write eeprom" is about to replace, when backups are on;
    // false, with the reason shown, when the write must not start.
    bool BackUpBeforeWrite();
    // Writes the serial chip in force with the transfers the user chose
    // (classic or fast) and verifies it; false when no chip answered.
    bool WriteSerialChipAsChosen(eeprom::Progress& progress, eeprom::Image& readBack);
    // Shows the verify report when `readBack` differs from the image written.
    void ReportVerify(const eeprom::Image& readBack);
    // "Restore last backup…": the newest backups of the chip in force to choose from.
    void OnRestoreLastBackup();
    // Loads a backup into the image and writes it back with verify.
    bool RestoreBackup(const eeprom::BackupEntry& backup);
    void OnChecksums();
    // F3 / Shift+F3: the selection to the next or previous marked byte.
    void OnNextMark() { MoveToMark(1); }
    void OnPrevMark() { MoveToMark(-1); }
    ImageHistory& History() { return *history_; }
    QAction* BackupAction() const { return backupAction_; }

    // --- Image files ------------------------------------------------------
    void OnLoadImage();
    void OnSaveImage();

    // --- Bench window (simulated bench only; ui/bench/bench_window_entry.cpp) --------
    // Opens the bench's own window beside this one, or brings it forward.
    void ShowBenchWindow();
    BenchWindow* OpenedBenchWindow() const { return benchWindow_; }
    // The context-menu entry; nullptr on real hardware.
    QAction* BenchWindowAction() const { return benchWindowAction_; }

    // --- Fast transfers (ui/eeprom/chip_handlers.cpp) ----------------------
    // The checkable context-menu entry; while it is checked, "Read eeprom"
    // and "Write eeprom" use the fast transfers, else the classic ones.
    // Remembered between runs.
    QAction* FastTransfersAction() const { return fastTransfersAction_; }

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
    void OnByteValueChange() {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
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
    // The hex view's nibble entry.
    eeprom::HexEntryState hexEntry_;

    // Safety net (ui/eeprom/backup_handlers.cpp).
    void AddSafetyEntries();
    ImageState CaptureImageState() const;
    void ApplyImageState(const ImageState& state);
    void MoveToMark(int direction);
    std::unique_ptr<ImageHistory> history_;
    QAction* backupAction_ = nullptr;

    void AddFastTransfersEntry();
    // The fast transfers when "Fast transfers" is checked, and always on an
    // adapter without the classic sequences.
    bool FastTransfersOn() const;
    // Reads the serial chip in force with the transfers the user chose.
    bool ReadSerialChipAsChosen(eeprom::Progress& progress);

    // Adapter choice (ui/main/adapter_choice.cpp).
    void AddAdapterEntry();
    // On an adapter without the parallel adapter's latch: the controls that
    // need it disabled, each with a tooltip that says why.
    void ApplyAdapterLimits();
    // The start-up on such an adapter, in place of the port choice.
    void StartWithoutLatch();
    QAction* adapterAction_ = nullptr;
    QAction* fastTransfersAction_ = nullptr;

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
};

}  // namespace ui
