// The main window's memory image and chip: the chip list, the hex view of one
// page with its marks and compare snapshot, "Read eeprom", "Write eeprom" and
// "Fill (00)" with the fast-transfers choice, the image files, and the safety
// net (backups, restore, verify report, checksums, undo). It owns those
// controls and that state; the page, device address and byte texts stay with
// the window's data exchange, which every area shares. The handlers are
// defined in eeprom/hex_view_handlers.cpp, chip_handlers.cpp,
// image_file_handlers.cpp and backup_handlers.cpp.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QObject>
#include <QProgressBar>
#include <QString>

#include <memory>

#include "eeprom/backup.h"
#include "eeprom/hex_edit.h"
#include "eeprom/session.h"
#include "ui/eeprom/hex_view.h"
#include "ui/eeprom/undo.h"

class QAction;
class QEvent;
class QKeyEvent;
class QLineEdit;

namespace ui {

class ConsoleController;
class MainDialog;
class MonitorController;

class ChipController : public QObject {
public:
    ChipController(MainDialog& window, eeprom::Session& session);

    QComboBox* m_chipList = nullptr;     // 1093 chip type list
    QCheckBox* m_compBuffer = nullptr;   // 1084 "CompBuffer"
    QProgressBar* m_progress = nullptr;  // 1074
    HexView* m_hexView = nullptr;        // 1011 hex view of one page

    // The hex view's nibble entry (tests read it).
    eeprom::HexEntryState& HexEntry() { return hexEntry_; }

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
    void OnByteValueChange() {}

    // --- Chip table and transfers ----------------------------------------
    void OnChipSelChange();
    void OnReadEeprom();
    void OnWriteEeprom();
    void OnFillZero();
    // The checkable context-menu entry; while it is checked, "Read eeprom"
    // and "Write eeprom" use the fast transfers, else the classic ones.
    // Remembered between runs.
    QAction* FastTransfersAction() const { return fastTransfersAction_; }
    void AddFastTransfersEntry();

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
    void AddSafetyEntries();

    // --- Image files ------------------------------------------------------
    void OnLoadImage();
    void OnSaveImage();

protected:
    // Key presses in the hex view go to PreTranslateKey first.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Safety net (ui/eeprom/backup_handlers.cpp).
    ImageState CaptureImageState() const;
    void ApplyImageState(const ImageState& state);
    void MoveToMark(int direction);
    // The fast transfers when "Fast transfers" is checked, and always on an
    // adapter without the classic sequences.
    bool FastTransfersOn() const;
    // Reads the serial chip in force with the transfers the user chose.
    bool ReadSerialChipAsChosen(eeprom::Progress& progress);

    // What the handlers use of the window and the other areas, under the
    // names the window gives them.
    bool UpdateData(bool save = true);
    void Invalidate();
    void OnResetPcf();
    QLineEdit* Edit(int id) const;

    MainDialog& window_;
    eeprom::Session* const session_;
    ConsoleController* const console_;
    MonitorController* const monitor_;
    // The window's exchanged values this area reads and writes.
    QString& m_sendSubAddress;
    QString& m_sendAddress;
    QString& m_deviceAddress;
    QString& m_sendData;
    QString& m_byteOffset;
    int& m_page;
    QString& m_compareValue;
    QString& m_byteValue;

    // The hex view's nibble entry.
    eeprom::HexEntryState hexEntry_;
    std::unique_ptr<ImageHistory> history_;
    QAction* backupAction_ = nullptr;
    QAction* fastTransfersAction_ = nullptr;
};

}  // namespace ui
