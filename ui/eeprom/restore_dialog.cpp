// The backup list; see restore_dialog.h.
#include "ui/eeprom/restore_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "eeprom/checksums.h"

namespace ui {

using namespace eeprom;

RestoreListDialog::RestoreListDialog(std::vector<BackupEntry> backups, QWidget* parent)
    : QDialog(parent), backups_(std::move(backups)), list_(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Restore last backup"));
    if (backups_.size() > static_cast<std::size_t>(kRestoreListLength)) backups_.resize(kRestoreListLength);
    list_->setAccessibleName(QStringLiteral("Backups"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Chip"), QStringLiteral("Device / page"),
                            QStringLiteral("CRC-32"), QStringLiteral("Bytes")});
    for (const BackupEntry& backup : backups_) {
        const QString where = backup.target.page < 0
                                  ? QStringLiteral("-")
                                  : QStringLiteral("%1 / %2")
                                        .arg(QString::number(backup.target.device, 16).toUpper())
                                        .arg(backup.target.page);
        auto* item = new QTreeWidgetItem(
            list_, {backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                    QString::fromStdString(backup.target.chip), where,
                    QString::fromStdString(Crc32Text(backup.crc32)), QString::number(backup.size)});
        item->setToolTip(0, backup.path);
    }
    for (int column = 0; column < list_->columnCount(); ++column) list_->resizeColumnToContents(column);
    list_->setMinimumWidth(list_->header()->length() + 40);
    if (!backups_.empty()) list_->setCurrentItem(list_->topLevelItem(0));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->addButton(QStringLiteral("Restore and write"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The chosen backup is loaded into the image and written to "
                                                "the chip, then verified."),
                                 this));
    layout->addWidget(list_);
    layout->addWidget(buttons);
}

const BackupEntry* RestoreListDialog::Chosen() const {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    return row >= 0 && row < static_cast<int>(backups_.size()) ? &backups_[static_cast<std::size_t>(row)]
                                                               : nullptr;
}

}  // namespace ui
