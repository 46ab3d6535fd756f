// The "Chip programmer" window: any memory part of the chip table on the
// adapter the session uses, through the same engine jobs as the command line
// (eeprom/part_session.h). A part chooser with the part's facts and
// detection, the hex editor sized to the part, the chip jobs (read, verify,
// write, erase, blank check, compare) with their progress and Cancel, image
// files, backups and checksums.
//
// Jobs run on the GUI thread: the engine's progress pumps the event loop
// every ~30 ms, so Cancel and Esc stay live while every other control of this
// window and the main window is disabled, and nothing else reaches the
// adapter mid-job.
//   programmer_window.cpp  construction, actions and layout, title, the ways out, settings
//   programmer_parts.cpp   the part chooser, the part's facts and addresses
//   programmer_jobs.cpp    the chip jobs, their progress and the backups
//   programmer_files.cpp   image files, the recent list and the restore list
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "eeprom/classic_chip_transfers.h"
#include "eeprom/session.h"
#include "hardware/chip_parts.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTreeWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;

namespace ui {

class ChecksumsPanel;
class HexEditor;
class HexSearchBar;

class ProgrammerWindow : public QMainWindow {
    Q_OBJECT
public:
    // `owner` (the main window) is disabled while a job runs; the window
    // closes with it.
    ProgrammerWindow(eeprom::Session& session, QWidget* owner);
    ~ProgrammerWindow() override;

    // --- Part -------------------------------------------------------------
    // The part chosen, or null before any is.
    const hardware::ChipPart* Part() const { return part_; }
    // Chooses the part of that name (as the command line spells it); false
    // when there is none, or the user kept the edits of the buffer.
    bool ChoosePart(const QString& name);
    // The I2C device address (8-bit, A0..AE) every job of an I2C part uses.
    int Device() const { return device_; }
    // Chooses that address; false when the part cannot answer there (or is
    // no I2C part) or a job runs.
    bool ChooseDevice(int device);
    // Detection on every bus of the adapter; a single sure candidate is
    // chosen, with the address it answered at.
    void Detect();

    // --- Chip jobs ----------------------------------------------------------
    void Read();
    void Verify();
    void Write();
    void Erase();
    void BlankCheck();
    void CompareWithChip();
    void CompareWithFile();
    // Asks the running job to stop after the page in flight.
    void CancelJob();
    bool JobRunning() const { return jobRunning_; }

    // --- Files --------------------------------------------------------------
    void Open();
    bool OpenFile(const QString& path);
    bool Save();
    bool SaveAs();
    QString FilePath() const { return filePath_; }
    QStringList RecentFiles() const;
    // The restore list: this part's backups, newest first; loading one puts
    // it into the buffer (as an undoable step) for the user to write.
    void RefreshBackups();
    bool LoadBackupEntry(int row);

    // --- Edits -------------------------------------------------------------
    // Hex bytes ("DE AD BE EF") written over the buffer at the cursor, as
    // one undo step; false (and said) when the text is not hex bytes.
    bool PasteText(const QString& text);
    // The clipboard's bytes (raw, or hex text) over the buffer at the cursor.
    void PasteClipboard();
    // The selection filled with `pattern` (hex bytes, repeated), one undo step.
    bool FillSelection(const QString& pattern);
    void AskFill();

    // --- What tests and the user read -----------------------------------------
    HexEditor& Editor() { return *editor_; }
    QLineEdit* PartFilter() const { return filter_; }
    QTreeWidget* PartList() const { return partList_; }
    QComboBox* DeviceBox() const { return deviceBox_; }
    QListWidget* BackupList() const { return backupList_; }
    QCheckBox* BackupBox() const { return backupBox_; }
    QCheckBox* VerifyBox() const { return verifyBox_; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QLabel* FactsLabel() const { return facts_; }
    QLabel* CursorStatus() const { return cursorStatus_; }
    QLabel* DetectLabel() const { return detected_; }
    QPlainTextEdit* ReportPane() const { return report_; }
    // The last sentence the window said in its status line.
    QString Status() const { return status_; }
    QAction* Action(const QString& objectName) const;
    // True when the buffer holds edits in no file (a read or a loaded backup
    // counts: it is in no file either).
    bool HasUnsavedEdits() const;
    // The program is about to end: true when nothing would be lost, or the
    // user lets the buffer's edits go; false while a job runs.
    bool MayQuit();

signals:
    // Each progress step of a job: its phase ("Backing up", "Writing",
    // "Verifying", ...) and the bytes done of the phase's total.
    void JobProgressed(const QString& phase, int done, int total);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class JobLine;
    friend class JobLine;

    // The key of a remembered setting of this window ("programmer/part").
    static QString SettingKey(const char* name);
    void BuildActions();
    void BuildLayout();
    void FillPartList();
    // Highlights the chosen part in the list and scrolls it into view.
    void ShowChosenPart();
    void FilterParts(const QString& text);
    void ShowFacts();
    // The address chooser for the part: its addresses, the one of them on the
    // pins of `device` chosen; hidden for a part on another bus.
    void FillDevices(int device);
    void UpdateTitle();
    void RememberFile(const QString& path);
    void FillRecentMenu();
    void SaveWindowState();
    void RestoreWindowState();
    // The name of the memory part in a socket of the bench that the adapter
    // reaches (the serial socket's first), or "".
    QString SocketPart() const;
    // A blank buffer for the part, with no file, history, compare or marks.
    void DiscardBuffer();
    // True when the buffer's edits may be thrown away (none, or the user said so).
    bool MayDiscardEdits(const QString& what);
    // Says `text` in the status line, and in a message box when `box`.
    void Say(const QString& text, bool box = false);
    void SetMarks(const std::vector<std::uint8_t>& marks);
    // The verify report of `read` against `expected` in the report pane (with
    // the reading of its pattern when `verifying` a write, and then the
    // mismatches marked and counted); returns how many bytes differ.
    int ReportDifferences(const std::vector<std::uint8_t>& expected, const std::vector<std::uint8_t>& read,
                          const QString& against, bool verifying = true);
    // The buffer coloured against `bytes` (the editor keeps them), which are
    // `against`'s, with the count and the report.
    void ShowDifferences(const std::vector<std::uint8_t>& bytes, const QString& against);
    void ShowDifferenceCount(int count);
    // Progress row: bytes done of total after `ms` milliseconds.
    void ShowJobProgress(int done, int total, qint64 ms);

    // Runs `work` as a job of `total` bytes under `phase`: refused (one
    // sentence, false) while the bus monitor runs or when the adapter cannot
    // reach the part; the window and the owner disabled but Cancel meanwhile.
    // `cancelled` tells whether Cancel stopped it; `furthest` the most bytes
    // its progress reached.
    struct JobOutcome {
        bool ok = false;
        bool cancelled = false;
        int furthest = 0;
        std::string message;  // the engine's sentence when !ok
    };
    bool StartJob(const QString& phase, bool needsPart);
    JobOutcome RunStep(const QString& phase, int total, const std::function<bool(eeprom::Progress&)>& work);
    void EndJob();
    bool ReadChip(const QString& phase, std::vector<std::uint8_t>& data, JobOutcome& outcome);
    // A job that reads the whole part and hands the bytes to `done`; a
    // cancel or failure is said instead.
    void ReadJob(const QString& name, const QString& phase,
                 const std::function<void(std::vector<std::uint8_t>&)>& done);
    // The engine's write job (eeprom/memory_job.h): backup (when on), write
    // of `data`, verify (when on); `what` names the job ("Write", "Erase").
    // `data` is the job's own copy, so nothing done to the buffer while
    // events are pumped reaches the chip.
    void WriteChip(std::vector<std::uint8_t> data, const QString& what);
    // Asks before an Erase, and before a Write without a backup, naming the
    // part and the adapter; false (and said) when the user declines.
    bool ConfirmWrite(const QString& what);
    QString PartText() const;
    QString FailureText(const QString& phase, const JobOutcome& outcome) const;

    eeprom::Session& session_;
    QPointer<QWidget> owner_;
    const hardware::ChipPart* part_ = nullptr;
    int device_ = 0xA0;  // the I2C part's device address, 8-bit

    HexEditor* editor_ = nullptr;
    HexSearchBar* searchBar_ = nullptr;
    ChecksumsPanel* checksums_ = nullptr;
    QLabel* adapter_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QTreeWidget* partList_ = nullptr;
    QWidget* deviceRow_ = nullptr;
    QComboBox* deviceBox_ = nullptr;
    QLabel* facts_ = nullptr;
    QPushButton* detectButton_ = nullptr;
    QLabel* detected_ = nullptr;
    QCheckBox* backupBox_ = nullptr;
    QCheckBox* verifyBox_ = nullptr;
    QListWidget* backupList_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QLabel* differences_ = nullptr;
    QLabel* cursorStatus_ = nullptr;
    QPlainTextEdit* report_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* rate_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* editorSplitter_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QList<QAction*> jobActions_;  // disabled while a job runs

    QString filePath_;
    QString status_;
    QString compareName_;  // what the buffer is compared with
    bool shown_ = false;   // its geometry is worth keeping
    bool jobRunning_ = false;
    bool cancelRequested_ = false;
    // What a job disabled, to enable again after it.
    QList<QPointer<QWidget>> disabledWidgets_;
    QList<QPointer<QAction>> disabledActions_;
};

}  // namespace ui
