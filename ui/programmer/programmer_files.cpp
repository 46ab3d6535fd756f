// The chip programmer window's image files (open, save, compare with a file,
// the recent list) and its restore list of backups.
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QUndoStack>

#include <algorithm>

#include "eeprom/backup.h"
#include "eeprom/checksums.h"
#include "eeprom/file_access.h"
#include "eeprom/file_coverage.h"
#include "eeprom/image_file.h"
#include "eeprom/image_formats.h"
#include "eeprom/part_facts.h"
#include "eeprom/part_session.h"
#include "ui/main/app_state.h"
#include "ui/main/ui_seams.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/programmer_window.h"

namespace ui {

namespace {

constexpr int kRecentFiles = 8;
const char* const kImageFilter = "*.bin *.hex *.ihex *.srec *.s19 *.mot";

}  // namespace

// --- Files -------------------------------------------------------------------

namespace {

// The file's bytes for a part of `capacity` bytes laid over `contents` (the
// buffer): a raw file from byte 0, refused when larger, FF after its end when
// smaller; a HEX or S-record file at its addresses, the bytes it leaves out
// keeping what `contents` holds. `note` says what was not a whole image.
bool LoadPartFile(const QString& path, int capacity, const QString& partText,
                  std::vector<std::uint8_t>& contents, QString& note, QString& error) {
    const QString name = QFileInfo(path).fileName();
    QByteArray data;
    bool longer = false;
    std::string why;
    if (!eeprom::ReadFileHead(path, eeprom::kMaxImageFileBytes, data, longer, why, "open")) {
        error = QString::fromStdString(why);
        return false;
    }
    if (data.isEmpty()) {
        error = QStringLiteral("%1 is empty; nothing was loaded").arg(name);
        return false;
    }
    if (longer) {
        error = QStringLiteral("%1 is far too large for %2; nothing was loaded").arg(name, partText);
        return false;
    }
    const eeprom::ImageFormat format = eeprom::ImageFormatToRead(data, QFile::encodeName(path).toStdString());
    const std::string extent =
        QStringLiteral("0x%1 bytes").arg(QString::number(capacity, 16).toUpper()).toStdString();
    eeprom::FileCover file;
    const eeprom::ImageSpan span{0, capacity, "the chip", extent, &file.defined};
    if (!eeprom::DecodeImage(data, format, span, name.toStdString(), file.bytes, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    const int length = static_cast<int>(file.bytes.size());
    if (length > capacity) {
        error = QStringLiteral("%1 holds %2 bytes, more than the %3 of %4; nothing was loaded")
                    .arg(name)
                    .arg(length)
                    .arg(capacity)
                    .arg(partText);
        return false;
    }
    note.clear();
    contents.resize(static_cast<std::size_t>(capacity), 0xFF);
    if (format == eeprom::ImageFormat::Raw) {
        if (length < capacity)
            note = QString::fromStdString(eeprom::SizeDiffersSentence(name.toStdString(), file.bytes.size(),
                                                                      partText.toStdString(), capacity)) +
                   QStringLiteral(": loaded at 0, the rest is FF");
        file.bytes.resize(static_cast<std::size_t>(capacity), 0xFF);
        contents = std::move(file.bytes);
        return true;
    }
    const int given = file.Count();
    if (given == 0) {
        error = QStringLiteral("%1 gives no byte of %2; nothing was loaded").arg(name, partText);
        return false;
    }
    if (given < capacity) note = QString::fromStdString(eeprom::KeptContentsSentence(given, capacity));
    eeprom::LayOver(file, 0, contents);
    return true;
}

}  // namespace

void ProgrammerWindow::Open() {
    const QString path = AskOpenPath(QLatin1String(kImageFilter));
    if (!path.isEmpty()) OpenFile(path);
}

bool ProgrammerWindow::OpenFile(const QString& path) {
    if (part_ == nullptr || jobRunning_) return false;
    if (!MayDiscardEdits(QStringLiteral("open %1").arg(QFileInfo(path).fileName()))) return false;
    std::vector<std::uint8_t> bytes = editor_->Data();
    QString note;
    QString error;
    if (!LoadPartFile(path, part_->bytes, PartText(), bytes, note, error)) {
        Say(error, true);
        return false;
    }
    editor_->SetData(std::move(bytes));
    editor_->UndoStack().setClean();
    SetMarks({});
    filePath_ = path;
    RememberFile(path);
    UpdateTitle();
    Say(note.isEmpty() ? QStringLiteral("Opened %1").arg(QFileInfo(path).fileName()) : note, !note.isEmpty());
    return true;
}

bool ProgrammerWindow::Save() {
    if (filePath_.isEmpty()) return SaveAs();
    const std::vector<std::uint8_t>& data = editor_->Data();
    const QByteArray out =
        eeprom::EncodeImage(data, eeprom::ImageFormatForPath(QFile::encodeName(filePath_).toStdString()));
    std::string error;
    if (!eeprom::WriteFileAtomically(filePath_, out.constData(), out.size(), error)) {
        Say(QString::fromStdString(error), true);
        return false;
    }
    editor_->UndoStack().setClean();
    editor_->MarkWritten();
    RememberFile(filePath_);
    UpdateTitle();
    Say(QStringLiteral("Saved %1 bytes to %2").arg(data.size()).arg(QFileInfo(filePath_).fileName()));
    return true;
}

bool ProgrammerWindow::SaveAs() {
    // One filter per format, so the dialog's choice says the format too.
    const QString filters =
        QStringLiteral("Raw image (*.bin);;Intel HEX (*.hex *.ihex);;S-record (*.srec *.s19 *.mot)");
    const QString suggested = !filePath_.isEmpty()
                                  ? filePath_
                                  : QString::fromStdString(eeprom::PartName(*part_)) + QStringLiteral(".bin");
    QString chosen;
    QString path = AskSavePathWithFilters(suggested, filters, &chosen);
    if (path.isEmpty()) return false;
    // A name that says no format: the filter chosen gives its extension;
    // without one, the user says whether raw bytes are meant.
    static const QStringList kKnown = {"bin", "hex", "ihex", "srec", "s19", "mot"};
    if (!kKnown.contains(QFileInfo(path).suffix().toLower())) {
        const qsizetype star = chosen.indexOf(QLatin1String("*."));
        if (star >= 0) {
            path += chosen.mid(star + 1).section(QLatin1Char(' '), 0, 0).remove(QLatin1Char(')'));
        } else if (!AskYesNo(QStringLiteral("%1 names no image format (.bin, .hex, .srec). Save the buffer "
                                            "in it as raw bytes?")
                                 .arg(QFileInfo(path).fileName()))) {
            return false;
        }
    }
    const QString previous = filePath_;
    filePath_ = path;
    if (Save()) return true;
    filePath_ = previous;
    UpdateTitle();
    return false;
}

void ProgrammerWindow::CompareWithFile() {
    if (part_ == nullptr || jobRunning_) return;
    const QString path = AskOpenPath(QLatin1String(kImageFilter));
    if (path.isEmpty()) return;
    // The bytes a HEX or S-record file leaves out are the buffer's: they do not differ.
    std::vector<std::uint8_t> bytes = editor_->Data();
    QString note;
    QString error;
    if (!LoadPartFile(path, part_->bytes, PartText(), bytes, note, error)) {
        Say(error, true);
        return;
    }
    ShowDifferences(bytes, QFileInfo(path).fileName());
}

QStringList ProgrammerWindow::RecentFiles() const {
    return ToolSettings().value(SettingKey("recentFiles")).toStringList();
}

void ProgrammerWindow::RememberFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = RecentFiles();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kRecentFiles) recent.removeLast();
    ToolSettings().setValue(SettingKey("recentFiles"), recent);
    FillRecentMenu();
}

void ProgrammerWindow::FillRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = RecentFiles();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        QAction* action =
            recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { OpenFile(path); });
    }
    recentMenu_->setEnabled(!recent.isEmpty());
}

// --- Backups -------------------------------------------------------------------

void ProgrammerWindow::RefreshBackups() {
    backupList_->clear();
    if (part_ == nullptr) return;
    const bool i2c = eeprom::OnI2cBus(*part_);
    for (const eeprom::BackupEntry& entry :
         eeprom::ListBackups(eeprom::BackupFolder(), eeprom::PartBackupName(*part_))) {
        // Whole-chip backups of this part at its address; the command line's
        // page backups of the small parts are its own to restore.
        if (entry.target.page >= 0 || (i2c && entry.target.device != device_) || entry.size != part_->bytes)
            continue;
        QString text = entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        text += QStringLiteral("  CRC-32 %1").arg(QString::fromStdString(eeprom::Crc32Text(entry.crc32)));
        if (!entry.matchesName) text += QStringLiteral("  (does not match its name)");
        auto* item = new QListWidgetItem(text, backupList_);
        item->setData(Qt::UserRole, entry.path);
        item->setToolTip(entry.path);
    }
    if (backupList_->count() > 0) backupList_->setCurrentRow(0);
    restoreButton_->setEnabled(backupList_->count() > 0);
}

bool ProgrammerWindow::LoadBackupEntry(int row) {
    QListWidgetItem* item = backupList_->item(row);
    if (item == nullptr || part_ == nullptr || jobRunning_) return false;
    const QString path = item->data(Qt::UserRole).toString();
    std::vector<std::uint8_t> data;
    std::string error;
    if (!eeprom::LoadBackup(path, part_->bytes, data, error)) {
        Say(QString::fromStdString(error), true);
        return false;
    }
    editor_->ReplaceData(data, QStringLiteral("Load backup"));
    Say(QStringLiteral("The backup of %1 is in the buffer; Write puts it on %2")
            .arg(item->text().section(QStringLiteral("  "), 0, 0), PartText()));
    return true;
}

}  // namespace ui
