// The list "Restore last backup…" shows: the newest backups of the chip in
// force, newest first, with their time, chip, device and page and CRC-32, so
// the technician picks the one taken before the write that went wrong.
#pragma once

#include <QDialog>

#include <vector>

#include "eeprom/backup.h"

class QTreeWidget;

namespace ui {

inline constexpr int kRestoreListLength = 20;

class RestoreListDialog : public QDialog {
    Q_OBJECT
public:
    RestoreListDialog(std::vector<eeprom::BackupEntry> backups, QWidget* parent);
    QTreeWidget* List() const { return list_; }
    // The backup chosen; nullptr when none is selected.
    const eeprom::BackupEntry* Chosen() const;

private:
    std::vector<eeprom::BackupEntry> backups_;
    QTreeWidget* list_;
};

}  // namespace ui
