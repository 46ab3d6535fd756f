// The window's safety net around the chip writes: the backup taken before
// "Write eeprom" (on unless the technician turns it off for a batch, a choice
// kept in the settings), "Restore last backup…", the verify report after a
// serial write, "Checksums…", and the undo, redo and marked-byte entries of
// the context menu with their keys.
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

#include "eeprom/adapter_chip_transfers.h"
#include "eeprom/chip_table.h"
#include "eeprom/classic_chip_transfers.h"
#include "eeprom/fast_chip_transfers.h"
#include "eeprom/hex_layout.h"
#include "eeprom/memory_job.h"
#include "eeprom/part_facts.h"
#include "eeprom/verify_report.h"
#include "ui/eeprom/checksums_dialog.h"
#include "ui/eeprom/restore_dialog.h"
#include "ui/eeprom/window_write_job.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"

namespace ui {

using namespace eeprom;

namespace {

constexpr const char* kBackupSetting = "backups/beforeWrite";

bool BackupsOn() { return ToolSettings().value(QLatin1String(kBackupSetting), true).toBool(); }

void SetBackupsOn(bool on) { ToolSettings().setValue(QLatin1String(kBackupSetting), on); }

// The bar and the message box for the backup read and the restore's write.
// (The backup read's messages come back in its error sentence instead.)
class BarAndBox final : public Progress {
public:
    explicit BarAndBox(QProgressBar* bar) : bar_(bar) {}
    void SetRange(int low, int high) override { bar_->setRange(low, high); }
    void SetPosition(int position) override { bar_->setValue(position); }
    void Message(const std::string& text) override { ShowMessage(QString::fromStdString(text)); }

private:
    QProgressBar* bar_;
};

QAction* AddEntry(QWidget* owner, QAction* action, const QList<QKeySequence>& keys = {}) {
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    owner->addAction(action);
    return action;
}

}  // namespace

void ChipController::AddSafetyEntries() {
    history_ = std::make_unique<ImageHistory>([this] { return CaptureImageState(); },
                                              [this](const ImageState& state) { ApplyImageState(state); });
    window_.setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(&window_);
    separator->setSeparator(true);
    window_.addAction(separator);
    AddEntry(&window_, history_->Stack().createUndoAction(&window_, QStringLiteral("&Undo")),
             {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    AddEntry(&window_, history_->Stack().createRedoAction(&window_, QStringLiteral("&Redo")),
             {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(AddEntry(&window_, new QAction(QStringLiteral("Next marked byte"), &window_),
                     {QKeySequence(Qt::Key_F3)}),
            &QAction::triggered, this, &ChipController::OnNextMark);
    connect(AddEntry(&window_, new QAction(QStringLiteral("Previous marked byte"), &window_),
                     {QKeySequence(Qt::SHIFT | Qt::Key_F3)}),
            &QAction::triggered, this, &ChipController::OnPrevMark);
    connect(AddEntry(&window_, new QAction(QStringLiteral("Restore last backup…"), &window_)),
            &QAction::triggered, this, &ChipController::OnRestoreLastBackup);
    connect(AddEntry(&window_, new QAction(QStringLiteral("Checksums…"), &window_)), &QAction::triggered,
            this, &ChipController::OnChecksums);
    backupAction_ =
        AddEntry(&window_, new QAction(QStringLiteral("Back up the chip before writing"), &window_));
    backupAction_->setCheckable(true);
    backupAction_->setChecked(BackupsOn());
    connect(backupAction_, &QAction::toggled, this, [](bool on) { SetBackupsOn(on); });
}

ImageState ChipController::CaptureImageState() const {
    return {session_->image, session_->marks, std::clamp(m_page, 0, kPageCount - 1)};
}

void ChipController::ApplyImageState(const ImageState& state) {
    session_->image = state.image;
    session_->marks = state.marks;
    const int page = std::clamp(state.page, 0, kPageCount - 1);
    if (page != m_page) {
        m_page = page;
        m_deviceAddress = HexByteText(0xA1 + 2 * m_page);
    }
    UpdateData(false);
    RefreshHexView();
}

bool ChipController::BackUpBeforeWrite() {
    if (!backupAction_->isChecked()) return true;
    const BackupTarget target =
        WriteTarget(m_chipList->currentText().toStdString(), m_page, HexTextValue(m_deviceAddress));
    BarAndBox progress(m_progress);
    QString path;
    std::string error;
    // The read is of the kind the write that follows will be.
    hardware::PortAdapter* adapter = session_->Parallel();  // the classic reads run only on it
    const ChipParams chip = session_->chip;
    BackupReads classic;
    classic.i2cBlock = [adapter](int page, int dev, Image& image, Image& marks, Progress& progress,
                                 int count) {
        return ReadI2cPage(*adapter, page, dev, image, marks, progress, count);
    };
    // A copy of the chip parameters: the write that follows settles at the
    // cursor the user's own transfers left, not where the backup read ended.
    classic.serialChip = [adapter, chip](Image& image, Image& marks, Progress& progress) {
        ChipParams scratch = chip;
        return ReadSerialChip(*adapter, scratch, image, marks, progress);
    };
    const BackupReads read = FastTransfersOn() ? FastBackupReads(*session_, chip) : classic;
    if (eeprom::BackUpBeforeWrite(read, session_->chip, target, BackupFolder(), progress, path, error)) {
        return true;
    }
    ShowMessage(QStringLiteral("Nothing was written: the backup of the chip failed. %1\n(Backups before "
                               "writing can be turned off in the window's context menu.)")
                    .arg(QString::fromStdString(error)));
    return false;
}

void ChipController::ReportVerify(const Image& readBack) {
    const VerifyReport report = BuildVerifyReport(session_->image, readBack, ImageFileSize(session_->chip));
    if (report.count > 0) ShowMessage(QString::fromStdString(FormatVerifyReport(report)));
}

void ChipController::OnRestoreLastBackup() {
    const std::string entry = m_chipList->currentText().toStdString();
    std::vector<BackupEntry> backups = ListBackups(BackupFolder(), BackupChipName(entry));
    // The window writes an I2C memory page by page; a whole-chip backup of
    // one (taken by merlix-cli) goes back with merlix-cli restore.
    std::erase_if(backups, [](const BackupEntry& b) { return b.target.device >= 0 && b.target.page < 0; });
    if (backups.empty()) {
        ShowMessage(QStringLiteral("There is no backup of a %1 in \"%2\" yet.")
                        .arg(QString::fromStdString(BackupChipName(entry)), BackupFolder()));
        return;
    }
    auto* list = new RestoreListDialog(std::move(backups), &window_);
    list->setAttribute(Qt::WA_DeleteOnClose);
    connect(list, &QDialog::accepted, this, [this, list] {
        if (const BackupEntry* chosen = list->Chosen()) RestoreBackup(*chosen);
    });
    list->open();
}

bool ChipController::RestoreBackup(const BackupEntry& backup) {
    std::vector<std::uint8_t> data;
    std::string error;
    if (!LoadBackup(backup.path, BackupSize(backup.target, session_->chip), data, error)) {
        ShowMessage(QString::fromStdString(error));
        return false;
    }
    const bool page = backup.target.page >= 0;
    {
        const ImageStep step(*this, "Restore backup");
        m_page = page ? backup.target.page : 0;
        m_deviceAddress = HexByteText(page ? backup.target.device | 1 : 0xA1);
        std::copy(data.begin(), data.end(), session_->image.begin() + m_page * kPageSize);
        UpdateData(false);
        RefreshHexView();
    }
    if (page && session_->controllerPresent != 1) {
        ShowMessage(QStringLiteral("The I2C controller was not found, so the backup was not written back."));
        return false;
    }
    // The restore is the engine's write job, verified; its write is backed
    // up too, so restoring the wrong file is undone the same way.
    const int first = page ? backup.target.page * kPageSize : 0;
    const int size = BackupSize(backup.target, session_->chip);
    BarAndBox progress(m_progress);
    WriteJob job;
    const std::string entry = m_chipList->currentText().toStdString();
    job.part = page ? hardware::FindMemoryPart("24C16") : hardware::FindChipPart(entry);
    job.chip = page ? "24C16" : entry;
    job.region = page ? JobRegion{first, kPageSize, backup.target.device} : JobRegion{0, size};
    job.page = page ? backup.target.page : -1;
    job.data.assign(session_->image.begin() + first, session_->image.begin() + first + size);
    job.backupTarget = WriteTarget(entry, m_page, HexTextValue(m_deviceAddress));
    job.verify = true;
    WindowWrite transfers(
        [this] { return BackUpBeforeWrite(); },
        [&](Image& readBack) {
            if (!page) return WriteSerialChipAsChosen(progress, readBack);
            // The classic I2C page write has no verify of its own:
            // the page is read back into the scratch image.
            Image scratchMarks{kImageSize};
            const bool classicSequences = session_->Parallel() != nullptr;  // else the adapter's bus, fast
            const int dev = backup.target.device;
            const bool written =
                classicSequences
                    ? WriteI2cPage(*session_->Parallel(), backup.target.page, dev, session_->image, progress)
                    : WriteI2cPagesFast(*session_->i2c, backup.target.page, dev, kSafeI2cPageSize,
                                        session_->image, progress);
            const bool readAgain =
                written && (classicSequences ? ReadI2cPage(*session_->Parallel(), backup.target.page, dev | 1,
                                                           readBack, scratchMarks, progress)
                                             : ReadI2cBlockFast(*session_->i2c, backup.target.page, dev | 1,
                                                                readBack, scratchMarks, progress));
            if (!readAgain) {
                ShowMessage(QStringLiteral("The page could not be written back and verified."));
                return false;
            }
            for (int i = first; i < first + size; ++i) {
                if (readBack[i] != session_->image[i]) session_->marks[i] = kMarkMismatch;
            }
            return true;
        },
        first);
    NoLine line;
    const JobResult result = RunWriteJob(transfers, job, line);
    RefreshHexView();
    if (result.end == JobResult::End::Mismatch) {
        ShowMessage(QString::fromStdString(result.reportText));
        return false;
    }
    if (result.end != JobResult::End::Done) return false;  // the transfers or the backup said why
    ShowMessage(QStringLiteral("Restored and verified: %1.").arg(QFileInfo(backup.path).fileName()));
    return true;
}

void ChipController::OnChecksums() {
    UpdateData(true);
    const int page = std::clamp(m_page, 0, kPageCount - 1);
    const QString entry = m_chipList->currentText();
    const int whole = ImageFileSize(session_->chip);
    const QString wholeTitle = entry.isEmpty() || eeprom::ChipOnI2cBus(session_->chip)
                                   ? QStringLiteral("Whole image (%1 bytes)").arg(whole)
                                   : QStringLiteral("Whole chip, %1 (%2 bytes)").arg(entry).arg(whole);
    const QString text = ChecksumLines(QStringLiteral("Page %1 (bytes %2-%3)")
                                           .arg(page)
                                           .arg(QString::asprintf("%04X", page * kPageSize),
                                                QString::asprintf("%04X", page * kPageSize + kPageSize - 1)),
                                       session_->image.data() + page * kPageSize, kPageSize) +
                         QLatin1Char('\n') + ChecksumLines(wholeTitle, session_->image.data(), whole);
    auto* dialog = new ChecksumsDialog(text, &window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void ChipController::MoveToMark(int direction) {
    const auto marked = [this](int i) {
        return session_->marks[i] == kMarkMismatch ||
               (m_compBuffer->isChecked() && session_->image[i] != session_->compareImage[i]);
    };
    const int selected = m_hexView->CurSel();
    const int page = std::clamp(m_page, 0, kPageCount - 1);
    // With nothing selected the search starts at the edge of the page shown.
    const int from = selected >= 0 ? ImageIndex(page, m_hexView->ItemOffset(selected))
                                   : ImageIndex(page, direction > 0 ? -1 : kPageSize);
    for (int step = 1; step <= kImageSize; ++step) {
        const int i = ((from + direction * step) % kImageSize + kImageSize) % kImageSize;
        if (!marked(i)) continue;
        if (i / kPageSize != m_page) {
            m_page = i / kPageSize;
            m_deviceAddress = HexByteText(0xA1 + 2 * m_page);
            UpdateData(false);
            RefreshHexView();
        }
        m_hexView->SetCurSel(HexOffsetItem(i % kPageSize));
        m_hexView->scrollToItem(m_hexView->item(m_hexView->CurSel()));
        OnHexViewSelChange();
        return;
    }
    QApplication::beep();
}

}  // namespace ui
