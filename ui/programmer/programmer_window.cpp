// The chip programmer window: construction, the part chooser and its facts,
// image files, the title and the remembered state. The chip jobs are in
// programmer_jobs.cpp.
#include "ui/programmer/programmer_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "eeprom/backup.h"
#include "eeprom/checksums.h"
#include "eeprom/file_access.h"
#include "eeprom/image_file.h"
#include "eeprom/image_formats.h"
#include "eeprom/part_session.h"
#include "ui/main/app_state.h"
#include "ui/main/startup.h"
#include "ui/main/ui_seams.h"
#include "ui/programmer/checksums_panel.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/hex_search_bar.h"

namespace ui {

namespace {

constexpr int kRecentFiles = 8;
const char* const kImageFilter = "*.bin *.hex *.ihex *.srec *.s19 *.mot";

QString Key(const char* name) { return QStringLiteral("programmer/") + QLatin1String(name); }

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
    if (part.family == hardware::ChipFamily::Microwire) {
        facts << QStringLiteral("Microwire, %1-bit words, written a word at a time").arg(part.organisation);
    } else {
        facts << QStringLiteral("%1-byte pages").arg(part.pageSize);
        facts << QStringLiteral("%1 address byte%2 (%3)")
                     .arg(part.addressBytes)
                     .arg(part.addressBytes == 1 ? QString() : QStringLiteral("s"))
                     .arg(part.family == hardware::ChipFamily::I2c ? QStringLiteral("I2C")
                                                                   : QStringLiteral("SPI"));
    }
    if (part.minMillivolts > 0)
        facts << QStringLiteral("%1-%2 V").arg(Millivolts(part.minMillivolts),
                                               Millivolts(part.maxMillivolts));
    facts << QStringLiteral("write cycle up to %1 ms").arg(part.writeCycleMaxUs / 1000);
    if (part.blockSelect != hardware::BlockSelect::None)
        facts << QLatin1String(hardware::BlockRuleText(part));
    if (part.family == hardware::ChipFamily::I2c) {
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

ProgrammerWindow::ProgrammerWindow(eeprom::Session& session, QWidget* owner)
    : QMainWindow(owner), session_(session), owner_(owner) {
    setObjectName(QStringLiteral("programmerWindow"));
    setAccessibleName(QStringLiteral("Chip programmer"));
    editor_ = new HexEditor(this);
    editor_->setAccessibleName(QStringLiteral("Buffer"));
    searchBar_ = new HexSearchBar(editor_, this);
    BuildActions();
    BuildLayout();
    FillPartList();
    connect(&editor_->UndoStack(), &QUndoStack::cleanChanged, this, [this] { UpdateTitle(); });
    connect(editor_, &HexEditor::DataEdited, this, [this] {
        if (editor_->Comparing()) ShowDifferenceCount();
    });
    connect(editor_, &HexEditor::FileDropped, this, [this](const QString& path) { OpenFile(path); });
    RestoreWindowState();
    device_ = ToolSettings().value(Key("device"), 0xA0).toInt();
    // The part chosen last; the first time, on the bench, the part in its I2C socket.
    QString first = QStringLiteral("24C02");
    if (simulator::SimulatedBench* bench = ActiveBench(); bench != nullptr && bench->I2cPart() != nullptr)
        first = QString::fromStdString(eeprom::PartName(bench->I2cPart()->Part()));
    const QString remembered = ToolSettings().value(Key("part"), first).toString();
    if (!ChoosePart(remembered)) ChoosePart(QStringLiteral("24C02"));
    UpdateTitle();
}

ProgrammerWindow::~ProgrammerWindow() {
    // The main window's end deletes this one without a close.
    if (shown_) SaveWindowState();
}

void ProgrammerWindow::showEvent(QShowEvent* event) {
    shown_ = true;
    QMainWindow::showEvent(event);
}

QAction* ProgrammerWindow::Action(const QString& objectName) const { return findChild<QAction*>(objectName); }

void ProgrammerWindow::BuildActions() {
    QToolBar* tools = addToolBar(QStringLiteral("Chip"));
    tools->setObjectName(QStringLiteral("programmerTools"));
    tools->setAccessibleName(QStringLiteral("Chip programmer tools"));
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto make = [this, tools](QMenu* menu, const QString& text, const char* name,
                                    const QKeySequence& key, std::function<void()> slot,
                                    bool onToolBar = false) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        menu->addAction(action);
        if (onToolBar) tools->addAction(action);
        connect(action, &QAction::triggered, this, std::move(slot));
        jobActions_ << action;
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    make(
        file, QStringLiteral("&Open..."), "open", QKeySequence::Open, [this] { Open(); }, true);
    recentMenu_ = file->addMenu(QStringLiteral("Open &recent"));
    make(
        file, QStringLiteral("&Save"), "save", QKeySequence::Save, [this] { Save(); }, true);
    make(file, QStringLiteral("Save &as..."), "saveAs", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
         [this] { SaveAs(); });
    file->addSeparator();
    make(file, QStringLiteral("Compare with &file..."), "compareFile",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), [this] { CompareWithFile(); });
    file->addSeparator();
    make(file, QStringLiteral("&Close"), "close", QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undo = editor_->UndoStack().createUndoAction(this, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = editor_->UndoStack().createRedoAction(this, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("redo"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    edit->addAction(undo);
    edit->addAction(redo);
    jobActions_ << undo << redo;  // the buffer stays as the job found it
    edit->addSeparator();
    QAction* copy =
        edit->addAction(QStringLiteral("&Copy as hex"), this, [this] { editor_->CopySelectionAsHex(); });
    copy->setObjectName(QStringLiteral("copyHex"));
    // The editor's own Ctrl+C, shown in the menu; the list and the edits keep theirs.
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    editor_->addAction(copy);
    searchBar_->GoToAction()->setText(QStringLiteral("&Go to offset..."));
    searchBar_->FindAction()->setText(QStringLiteral("&Find..."));
    searchBar_->NextAction()->setText(QStringLiteral("&Next difference"));
    searchBar_->PreviousAction()->setText(QStringLiteral("&Previous difference"));
    edit->addAction(searchBar_->GoToAction());
    edit->addAction(searchBar_->FindAction());
    edit->addAction(searchBar_->NextAction());
    edit->addAction(searchBar_->PreviousAction());

    QMenu* chip = menuBar()->addMenu(QStringLiteral("&Chip"));
    tools->addSeparator();
    make(
        chip, QStringLiteral("&Read"), "read", QKeySequence(Qt::CTRL | Qt::Key_R), [this] { Read(); }, true);
    make(
        chip, QStringLiteral("&Verify"), "verify", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V),
        [this] { Verify(); }, true);
    make(
        chip, QStringLiteral("&Write"), "write", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W),
        [this] { Write(); }, true);
    make(
        chip, QStringLiteral("&Erase"), "erase", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
        [this] { Erase(); }, true);
    make(
        chip, QStringLiteral("&Blank check"), "blankCheck", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B),
        [this] { BlankCheck(); }, true);
    make(
        chip, QStringLiteral("&Compare with chip"), "compareChip", QKeySequence(Qt::CTRL | Qt::Key_K),
        [this] { CompareWithChip(); }, true);
    chip->addSeparator();
    make(
        chip, QStringLiteral("&Detect"), "detect", QKeySequence(Qt::CTRL | Qt::Key_D), [this] { Detect(); },
        true);
    make(chip, QStringLiteral("Find &part"), "findPart", QKeySequence(Qt::CTRL | Qt::Key_L), [this] {
        filter_->setFocus(Qt::ShortcutFocusReason);
        filter_->selectAll();
    });
    make(chip, QStringLiteral("&Load backup"), "loadBackup", QKeySequence(Qt::CTRL | Qt::Key_B),
         [this] { LoadBackupEntry(backupList_->currentRow()); });

    // Esc stops a running job; the action lives on the window itself, which
    // stays enabled while its menus are not.
    auto* cancel = new QAction(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    cancel->setEnabled(false);
    addAction(cancel);
    connect(cancel, &QAction::triggered, this, &ProgrammerWindow::CancelJob);
}

void ProgrammerWindow::BuildLayout() {
    auto* left = new QWidget(this);
    auto* side = new QVBoxLayout(left);
    adapter_ = new QLabel(QStringLiteral("Adapter: %1").arg(AdapterInUse()), left);
    adapter_->setAccessibleName(QStringLiteral("Adapter in use"));
    adapter_->setWordWrap(true);
    side->addWidget(adapter_);
    auto* partLabel = new QLabel(QStringLiteral("&Part:"), left);
    filter_ = new QLineEdit(left);
    filter_->setPlaceholderText(QStringLiteral("Type to filter, e.g. 256"));
    filter_->setAccessibleName(QStringLiteral("Part filter"));
    filter_->setClearButtonEnabled(true);
    partLabel->setBuddy(filter_);
    side->addWidget(partLabel);
    side->addWidget(filter_);
    partList_ = new QListWidget(left);
    partList_->setAccessibleName(QStringLiteral("Parts"));
    side->addWidget(partList_, 2);
    deviceRow_ = new QWidget(left);
    auto* deviceLayout = new QHBoxLayout(deviceRow_);
    deviceLayout->setContentsMargins(0, 0, 0, 0);
    auto* deviceLabel = new QLabel(QStringLiteral("I2C &address:"), deviceRow_);
    deviceBox_ = new QComboBox(deviceRow_);
    deviceBox_->setAccessibleName(QStringLiteral("I2C device address"));
    deviceBox_->setToolTip(QStringLiteral("Where the part's address pins put it on the bus"));
    deviceLabel->setBuddy(deviceBox_);
    deviceLayout->addWidget(deviceLabel);
    deviceLayout->addWidget(deviceBox_, 1);
    side->addWidget(deviceRow_);
    facts_ = new QLabel(left);
    facts_->setAccessibleName(QStringLiteral("Part facts"));
    facts_->setWordWrap(true);
    facts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    side->addWidget(facts_);
    detectButton_ = new QPushButton(QStringLiteral("&Detect"), left);
    detectButton_->setAccessibleName(QStringLiteral("Detect the part"));
    side->addWidget(detectButton_);
    detected_ = new QLabel(left);
    detected_->setAccessibleName(QStringLiteral("Detected"));
    detected_->setWordWrap(true);
    side->addWidget(detected_);
    backupBox_ = new QCheckBox(QStringLiteral("Back &up before writing"), left);
    backupBox_->setAccessibleName(QStringLiteral("Back up before writing"));
    backupBox_->setChecked(ToolSettings().value(Key("backup"), true).toBool());
    side->addWidget(backupBox_);
    verifyBox_ = new QCheckBox(QStringLiteral("Verify af&ter writing"), left);
    verifyBox_->setAccessibleName(QStringLiteral("Verify after writing"));
    verifyBox_->setChecked(ToolSettings().value(Key("verify"), true).toBool());
    side->addWidget(verifyBox_);
    auto* backupsLabel = new QLabel(QStringLiteral("Bac&kups of this part:"), left);
    backupList_ = new QListWidget(left);
    backupList_->setAccessibleName(QStringLiteral("Backups of this part"));
    backupsLabel->setBuddy(backupList_);
    side->addWidget(backupsLabel);
    side->addWidget(backupList_, 1);
    restoreButton_ = new QPushButton(QStringLiteral("&Load into buffer"), left);
    restoreButton_->setAccessibleName(QStringLiteral("Load the backup into the buffer"));
    side->addWidget(restoreButton_);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(editor_, 1);
    topLayout->addWidget(searchBar_);
    auto* below = new QWidget(this);
    auto* belowLayout = new QVBoxLayout(below);
    belowLayout->setContentsMargins(0, 0, 0, 0);
    checksums_ = new ChecksumsPanel(editor_, below);
    checksums_->setAccessibleName(QStringLiteral("Checksums"));
    belowLayout->addWidget(checksums_);
    differences_ = new QLabel(below);
    differences_->setAccessibleName(QStringLiteral("Differences"));
    belowLayout->addWidget(differences_);
    report_ = new QPlainTextEdit(below);
    report_->setReadOnly(true);
    report_->setAccessibleName(QStringLiteral("Verify report"));
    report_->setPlaceholderText(QStringLiteral("The verify and compare reports appear here."));
    belowLayout->addWidget(report_);

    editorSplitter_ = new QSplitter(Qt::Vertical, this);
    editorSplitter_->setObjectName(QStringLiteral("editorSplitter"));
    editorSplitter_->addWidget(top);
    editorSplitter_->addWidget(below);
    editorSplitter_->setStretchFactor(0, 4);
    editorSplitter_->setStretchFactor(1, 1);
    mainSplitter_ = new QSplitter(Qt::Horizontal, this);
    mainSplitter_->setObjectName(QStringLiteral("mainSplitter"));
    mainSplitter_->addWidget(left);
    mainSplitter_->addWidget(editorSplitter_);
    mainSplitter_->setStretchFactor(1, 1);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(mainSplitter_, 1);
    auto* jobRow = new QHBoxLayout;
    progressBar_ = new QProgressBar(central);
    progressBar_->setAccessibleName(QStringLiteral("Job progress"));
    progressBar_->setValue(0);
    rate_ = new QLabel(central);
    rate_->setAccessibleName(QStringLiteral("Speed and time left"));
    rate_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000.0 KiB/s, 00:00 left")));
    cancelButton_ = new QPushButton(QStringLiteral("Cancel (Esc)"), central);
    cancelButton_->setAccessibleName(QStringLiteral("Cancel the job"));
    cancelButton_->setEnabled(false);
    jobRow->addWidget(progressBar_, 1);
    jobRow->addWidget(rate_);
    jobRow->addWidget(cancelButton_);
    layout->addLayout(jobRow);
    setCentralWidget(central);
    statusLabel_ = new QLabel(this);
    statusLabel_->setAccessibleName(QStringLiteral("Status"));
    statusLabel_->setWordWrap(true);
    statusBar()->addWidget(statusLabel_, 1);

    connect(filter_, &QLineEdit::textChanged, this, &ProgrammerWindow::FilterParts);
    connect(filter_, &QLineEdit::returnPressed, this, [this] {
        for (int row = 0; row < partList_->count(); ++row) {
            if (partList_->item(row)->isHidden()) continue;
            ChoosePart(partList_->item(row)->text());
            return;
        }
    });
    connect(partList_, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        if (!name.isEmpty() && !ChoosePart(name) && part_ != nullptr) {
            const QSignalBlocker block(partList_);
            const auto found =
                partList_->findItems(QString::fromStdString(eeprom::PartName(*part_)), Qt::MatchExactly);
            if (!found.isEmpty()) partList_->setCurrentItem(found.first());
        }
    });
    connect(deviceBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { ChooseDevice(deviceBox_->itemData(index).toInt()); });
    connect(detectButton_, &QPushButton::clicked, this, &ProgrammerWindow::Detect);
    connect(cancelButton_, &QPushButton::clicked, this, &ProgrammerWindow::CancelJob);
    connect(backupBox_, &QCheckBox::toggled, this,
            [](bool on) { ToolSettings().setValue(Key("backup"), on); });
    connect(verifyBox_, &QCheckBox::toggled, this,
            [](bool on) { ToolSettings().setValue(Key("verify"), on); });
    connect(restoreButton_, &QPushButton::clicked, this,
            [this] { LoadBackupEntry(backupList_->currentRow()); });
    connect(backupList_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { LoadBackupEntry(backupList_->row(item)); });
    FillRecentMenu();
}

void ProgrammerWindow::FillPartList() {
    const QSignalBlocker block(partList_);
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        auto* item = new QListWidgetItem(QString::fromStdString(eeprom::PartName(part)), partList_);
        const std::string missing = session_.CannotReach(part.family);
        if (!missing.empty()) {
            // Shown, so the technician finds it, but in grey: a job refuses it.
            item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
            item->setToolTip(QString::fromStdString(missing));
        }
    }
}

void ProgrammerWindow::FilterParts(const QString& text) {
    const QString wanted = text.trimmed();
    for (int row = 0; row < partList_->count(); ++row) {
        QListWidgetItem* item = partList_->item(row);
        item->setHidden(!wanted.isEmpty() && !item->text().contains(wanted, Qt::CaseInsensitive));
    }
}

bool ProgrammerWindow::ChoosePart(const QString& name) {
    const hardware::ChipPart* chosen = nullptr;
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        if (QString::fromStdString(eeprom::PartName(part)).compare(name, Qt::CaseInsensitive) == 0)
            chosen = &part;
    }
    if (chosen == nullptr || jobRunning_) return false;
    if (chosen == part_) return true;
    if (part_ != nullptr &&
        !MayDiscardEdits(
            QStringLiteral("choose the %1").arg(QString::fromStdString(eeprom::PartName(*chosen)))))
        return false;
    part_ = chosen;
    const QString partName = QString::fromStdString(eeprom::PartName(*part_));
    {
        const QSignalBlocker block(partList_);
        const auto found = partList_->findItems(partName, Qt::MatchExactly);
        if (!found.isEmpty()) partList_->setCurrentItem(found.first());
    }
    editor_->SetData(std::vector<std::uint8_t>(static_cast<std::size_t>(part_->bytes), 0xFF));
    editor_->UndoStack().setClean();
    filePath_.clear();
    editor_->SetCompare(nullptr);
    SetMarks({});
    differences_->clear();
    report_->clear();
    // On the bench the serial socket follows the chosen chip of the window's
    // list, as it follows the main window's, and the fakes without an ORG
    // line are strapped for it.
    if (part_->family != hardware::ChipFamily::I2c && hardware::FindChipPart(part_->listText) != nullptr) {
        if (simulator::SimulatedBench* bench = ActiveBench())
            bench->SetChipListChoice(std::string(part_->listText));
    }
    if (part_->family == hardware::ChipFamily::Microwire) StrapBenchOrg(part_->organisation == 16);
    ToolSettings().setValue(Key("part"), partName);
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
    ToolSettings().setValue(Key("device"), device_);
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

QString ProgrammerWindow::PartText() const {
    return part_ ? QStringLiteral("the ") + QString::fromStdString(eeprom::PartName(*part_)) : QString();
}

void ProgrammerWindow::Say(const QString& said, bool box) {
    // Sentences may start with a part ("the 24C256 is blank"); a file name keeps its case.
    QString text = said;
    if (text.startsWith(QLatin1String("the "))) text[0] = QLatin1Char('T');
    status_ = text;
    statusLabel_->setText(text);
    if (box) ShowMessage(text);
}

bool ProgrammerWindow::MayDiscardEdits(const QString& what) {
    if (editor_->UndoStack().isClean()) return true;
    return AskYesNo(
        QStringLiteral("The buffer holds changes that are in no file. Throw them away and %1?").arg(what));
}

void ProgrammerWindow::UpdateTitle() {
    const QString name = filePath_.isEmpty() ? QStringLiteral("untitled") : QFileInfo(filePath_).fileName();
    QString title = QStringLiteral("Chip programmer - %1").arg(name);
    if (!editor_->UndoStack().isClean()) title += QLatin1Char('*');
    if (part_ != nullptr)
        title += QStringLiteral(" (%1)").arg(QString::fromStdString(eeprom::PartName(*part_)));
    setWindowTitle(title + BenchCaptionMark());
}

// --- Files -------------------------------------------------------------------

namespace {

// The file's bytes for a part of `capacity` bytes: refused when larger, padded
// with FF when smaller (`note` says so).
bool LoadPartFile(const QString& path, int capacity, const QString& partText,
                  std::vector<std::uint8_t>& bytes, QString& note, QString& error) {
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
    if (!eeprom::DecodeImage(data, format, capacity, name.toStdString(), bytes, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    if (bytes.size() > static_cast<std::size_t>(capacity)) {
        error = QStringLiteral("%1 holds %2 bytes, more than the %3 of %4; nothing was loaded")
                    .arg(name)
                    .arg(bytes.size())
                    .arg(capacity)
                    .arg(partText);
        return false;
    }
    note.clear();
    if (bytes.size() < static_cast<std::size_t>(capacity))
        note = QStringLiteral("%1 holds %2 bytes, fewer than the %3 of %4: loaded at 0, the rest is FF")
                   .arg(name)
                   .arg(bytes.size())
                   .arg(capacity)
                   .arg(partText);
    bytes.resize(static_cast<std::size_t>(capacity), 0xFF);
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
    std::vector<std::uint8_t> bytes;
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
    RememberFile(filePath_);
    UpdateTitle();
    Say(QStringLiteral("Saved %1 bytes to %2").arg(data.size()).arg(QFileInfo(filePath_).fileName()));
    return true;
}

bool ProgrammerWindow::SaveAs() {
    const QString path = AskSavePath(QLatin1String(kImageFilter));
    if (path.isEmpty()) return false;
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
    std::vector<std::uint8_t> bytes;
    QString note;
    QString error;
    if (!LoadPartFile(path, part_->bytes, PartText(), bytes, note, error)) {
        Say(error, true);
        return;
    }
    ShowDifferences(bytes, QFileInfo(path).fileName());
}

QStringList ProgrammerWindow::RecentFiles() const {
    return ToolSettings().value(Key("recentFiles")).toStringList();
}

void ProgrammerWindow::RememberFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = RecentFiles();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kRecentFiles) recent.removeLast();
    ToolSettings().setValue(Key("recentFiles"), recent);
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
    const bool i2c = part_->family == hardware::ChipFamily::I2c;
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

// --- Window state ----------------------------------------------------------------

void ProgrammerWindow::SaveWindowState() {
    QSettings settings = ToolSettings();
    settings.setValue(Key("geometry"), saveGeometry());
    settings.setValue(Key("mainSplitter"), mainSplitter_->saveState());
    settings.setValue(Key("editorSplitter"), editorSplitter_->saveState());
}

void ProgrammerWindow::RestoreWindowState() {
    const QSettings settings = ToolSettings();
    if (!restoreGeometry(settings.value(Key("geometry")).toByteArray())) resize(1100, 780);
    mainSplitter_->restoreState(settings.value(Key("mainSplitter")).toByteArray());
    editorSplitter_->restoreState(settings.value(Key("editorSplitter")).toByteArray());
}

void ProgrammerWindow::closeEvent(QCloseEvent* event) {
    if (jobRunning_) {
        // The job's own Cancel stops it; the window stays to say how it ended.
        event->ignore();
        return;
    }
    SaveWindowState();
    QMainWindow::closeEvent(event);
}

}  // namespace ui
