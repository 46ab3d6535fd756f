// The chip programmer window's part chooser: the list and its filter, the
// part's facts, its I2C addresses, and the part a bench socket holds.
#include <QCollator>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include "eeprom/part_facts.h"
#include "eeprom/part_session.h"
#include "ui/main/app_state.h"
#include "ui/main/startup.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/programmer_window.h"

namespace ui {

namespace {

QString HexOffset(qint64 value) {
    return QStringLiteral("0x%1")
        .arg(value, 4, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

// A 7-bit device address with its 8-bit write address: "0x57 (AE)".
QString DeviceText(int address) {
    return QStringLiteral("0x%1 (%2)")
        .arg(QString::number(address, 16).toUpper())
        .arg(QString::number(address << 1, 16).toUpper());
}

QString Millivolts(int mv) { return QString::number(mv / 1000.0, 'f', 1); }

// A part's facts in one paragraph; an I2C part's with where it answers at
// `device` (8-bit).
QString FactsOf(const hardware::ChipPart& part, int device) {
    QStringList facts;
    facts << QStringLiteral("%1 bytes (%2)").arg(part.bytes).arg(HexOffset(part.bytes));
    if (eeprom::StrappedByOrg(part)) {
        facts << QStringLiteral("Microwire, %1-bit words, written a word at a time").arg(part.organisation);
    } else {
        facts << QStringLiteral("%1-byte pages").arg(part.pageSize);
        facts << QStringLiteral("%1 address byte%2 (%3)")
                     .arg(part.addressBytes)
                     .arg(part.addressBytes == 1 ? QString() : QStringLiteral("s"))
                     .arg(QLatin1String(eeprom::BusName(part)));
    }
    if (part.minMillivolts > 0)
        facts << QStringLiteral("%1-%2 V").arg(Millivolts(part.minMillivolts),
                                               Millivolts(part.maxMillivolts));
    facts << QStringLiteral("write cycle up to %1 ms").arg(part.writeCycleMaxUs / 1000);
    if (part.blockSelect != hardware::BlockSelect::None)
        facts << QLatin1String(hardware::BlockRuleText(part));
    if (eeprom::OnI2cBus(part)) {
        const int blocks = hardware::DeviceBlocks(part);
        const int first = device >> 1;
        const int last = hardware::BlockDevice(part, first, blocks - 1);
        facts << (blocks == 1 ? QStringLiteral("at I2C address %1").arg(DeviceText(first))
                              : QStringLiteral("at I2C addresses %1 %2 %3")
                                    .arg(DeviceText(first),
                                         blocks == 2 ? QStringLiteral("and") : QStringLiteral("to"),
                                         DeviceText(last)));
    }
    return QString::fromStdString(eeprom::PartName(part)) + QStringLiteral(": ") +
           facts.join(QStringLiteral(", "));
}

}  // namespace
QString ProgrammerWindow::SocketPart() const {
    const startup::BenchControl bench = ActiveBenchControl();
    if (!bench) return {};
    const hardware::ChipPart* socketed = nullptr;
    const std::string fixed = bench.FixedSocketChip();
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        if (!fixed.empty() && (part.listText == fixed || (part.listText.empty() && part.name == fixed)))
            socketed = &part;
    }
    // A part named in the serial socket is matched by its name when it has no list text of its own.
    if (socketed == nullptr && !fixed.empty()) socketed = hardware::FindMemoryPart(fixed);
    if (socketed != nullptr && session_.CannotReach(socketed->family).empty())
        return QString::fromStdString(eeprom::PartName(*socketed));
    if (bench.I2cSocketPart() != nullptr && eeprom::CannotReachI2c(session_).empty())
        return QString::fromStdString(eeprom::PartName(*bench.I2cSocketPart()));
    return {};
}

ProgrammerWindow::~ProgrammerWindow() {
    // The main window's end deletes this one without a close.
    if (shown_) SaveWindowState();
}

bool ProgrammerWindow::eventFilter(QObject* watched, QEvent* event) {
    // Down from the filter goes on into the list, at its first part shown.
    if (watched == filter_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        partList_->setFocus(Qt::TabFocusReason);
        QTreeWidgetItem* current = partList_->currentItem();
        if (current == nullptr || current->isHidden()) {
            for (int row = 0; row < partList_->topLevelItemCount(); ++row) {
                if (partList_->topLevelItem(row)->isHidden()) continue;
                partList_->setCurrentItem(partList_->topLevelItem(row));
                break;
            }
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

namespace {

// A row of the part list: names sort with their numbers read as numbers
// (24C16 before 24C128), sizes by their bytes.
class PartRow final : public QTreeWidgetItem {
public:
    PartRow(const hardware::ChipPart& part, QTreeWidget* list) : QTreeWidgetItem(list), bytes_(part.bytes) {
        setText(0, QString::fromStdString(eeprom::PartName(part)));
        setText(1, SizeText(part.bytes));
        setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        setText(2, QLatin1String(eeprom::BusName(part)));
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        static const QCollator names = [] {
            QCollator collator;
            collator.setNumericMode(true);
            collator.setCaseSensitivity(Qt::CaseInsensitive);
            return collator;
        }();
        if (column == 1) {
            const int theirs = static_cast<const PartRow&>(other).bytes_;
            if (bytes_ != theirs) return bytes_ < theirs;
        } else if (column == 2 && text(2) != other.text(2)) {
            return text(2) < other.text(2);
        }
        return names.compare(text(0), other.text(0)) < 0;
    }

private:
    static QString SizeText(int bytes) {
        if (bytes % (1024 * 1024) == 0) return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
        if (bytes % 1024 == 0) return QStringLiteral("%1 KiB").arg(bytes / 1024);
        return QStringLiteral("%1 B").arg(bytes);
    }
    int bytes_;
};

}  // namespace

void ProgrammerWindow::FillPartList() {
    const QSignalBlocker block(partList_);
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        auto* item = new PartRow(part, partList_);
        const std::string missing = session_.CannotReach(part.family);
        if (!missing.empty()) {
            // Shown, so the technician finds it, but in grey: a job refuses it.
            for (int column = 0; column < 3; ++column) {
                item->setForeground(column, palette().brush(QPalette::Disabled, QPalette::Text));
                item->setToolTip(column, QString::fromStdString(missing));
            }
        }
    }
    partList_->setSortingEnabled(true);
    partList_->sortByColumn(0, Qt::AscendingOrder);
    for (int column = 0; column < 3; ++column) partList_->resizeColumnToContents(column);
}

void ProgrammerWindow::FilterParts(const QString& text) {
    const QString wanted = text.trimmed();
    for (int row = 0; row < partList_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = partList_->topLevelItem(row);
        item->setHidden(!wanted.isEmpty() && !item->text(0).contains(wanted, Qt::CaseInsensitive));
    }
}

void ProgrammerWindow::ShowChosenPart() {
    if (part_ == nullptr) return;
    const QSignalBlocker block(partList_);
    const auto found =
        partList_->findItems(QString::fromStdString(eeprom::PartName(*part_)), Qt::MatchExactly, 0);
    if (found.isEmpty()) return;
    // The chosen part in sight, whatever the filter held (after Detect, say).
    if (found.first()->isHidden()) filter_->clear();
    partList_->setCurrentItem(found.first());
    partList_->scrollToItem(found.first());
}

bool ProgrammerWindow::ChoosePart(const QString& name) {
    const hardware::ChipPart* chosen = nullptr;
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        for (const std::string& each : eeprom::PartNames(part)) {
            if (QString::fromStdString(each).compare(name, Qt::CaseInsensitive) == 0) chosen = &part;
        }
    }
    if (chosen == nullptr || jobRunning_) return false;
    if (chosen == part_) return true;
    if (part_ != nullptr &&
        !MayDiscardEdits(
            QStringLiteral("choose the %1").arg(QString::fromStdString(eeprom::PartName(*chosen)))))
        return false;
    part_ = chosen;
    const QString partName = QString::fromStdString(eeprom::PartName(*part_));
    ShowChosenPart();
    DiscardBuffer();
    Action(QStringLiteral("wordView"))->setChecked(part_->organisation == 16);
    // On the bench the serial socket follows the chosen chip of the window's
    // list, as it follows the main window's, and the fakes without an ORG
    // line are strapped for it.
    if (!eeprom::OnI2cBus(*part_) && hardware::FindChipPart(part_->listText) != nullptr) {
        if (const startup::BenchControl bench = ActiveBenchControl())
            bench.SetChipListChoice(std::string(part_->listText));
    }
    if (eeprom::StrappedByOrg(*part_)) StrapBenchOrg(part_->organisation == 16);
    ToolSettings().setValue(SettingKey("part"), partName);
    FillDevices(device_);
    ShowFacts();
    RefreshBackups();
    UpdateTitle();
    return true;
}

void ProgrammerWindow::FillDevices(int device) {
    const QSignalBlocker block(deviceBox_);
    deviceBox_->clear();
    const std::vector<int> devices = eeprom::PartDevices(*part_);
    for (int each : devices) deviceBox_->addItem(DeviceText(each >> 1), each);
    deviceRow_->setVisible(!devices.empty());
    deviceRow_->setEnabled(!devices.empty());
    if (devices.empty()) return;
    device_ = eeprom::PartDeviceFor(*part_, device);
    deviceBox_->setCurrentIndex(deviceBox_->findData(device_));
    ToolSettings().setValue(SettingKey("device"), device_);
}

bool ProgrammerWindow::ChooseDevice(int device) {
    if (part_ == nullptr || jobRunning_ || deviceBox_->findData(device) < 0) return false;
    FillDevices(device);
    ShowFacts();
    RefreshBackups();
    return true;
}

void ProgrammerWindow::ShowFacts() {
    if (part_ == nullptr) return;
    QString text = FactsOf(*part_, device_);
    const std::string missing = session_.CannotReach(part_->family);
    if (!missing.empty()) text += QStringLiteral(". %1.").arg(QString::fromStdString(missing));
    facts_->setText(text);
}

}  // namespace ui
