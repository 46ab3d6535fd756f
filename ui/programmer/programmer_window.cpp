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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
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
#include "ui/main/window_fit.h"
#include "ui/programmer/checksums_panel.h"
#include "ui/programmer/cursor_status.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/hex_search_bar.h"

namespace ui {

QString ProgrammerWindow::SettingKey(const char* name) {
    return QStringLiteral("programmer/") + QLatin1String(name);
}

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
        // The count and the report say the same, after every edit.
        if (!editor_->Comparing()) return;
        ShowDifferenceCount(ReportDifferences(editor_->Data(), editor_->CompareBytes(), compareName_, false));
    });
    connect(editor_, &HexEditor::FileDropped, this, [this](const QString& path) { OpenFile(path); });
    RestoreWindowState();
    device_ = ToolSettings().value(SettingKey("device"), 0xA0).toInt();
    // On the bench, the part put in a socket (--bench-chip, the bench
    // window) that this adapter reaches: the technician's chip on the table.
    // Else the part chosen last; the first time, the 24C02.
    QString first = SocketPart();
    if (first.isEmpty()) first = ToolSettings().value(SettingKey("part"), QStringLiteral("24C02")).toString();
    if (!ChoosePart(first)) ChoosePart(QStringLiteral("24C02"));
    UpdateTitle();
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
    edit->addSeparator();
    make(edit, QStringLiteral("&Paste over the buffer"), "paste", QKeySequence::Paste,
         [this] { PasteClipboard(); });
    make(edit, QStringLiteral("F&ill the selection..."), "fill",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I), [this] { AskFill(); });
    edit->addSeparator();
    searchBar_->GoToAction()->setText(QStringLiteral("&Go to offset..."));
    searchBar_->FindAction()->setText(QStringLiteral("&Find..."));
    edit->addAction(searchBar_->GoToAction());
    edit->addAction(searchBar_->FindAction());
    edit->addAction(searchBar_->NextAction());
    edit->addAction(searchBar_->PreviousAction());
    // The differences have keys of their own, so F3 stays with a search.
    QAction* nextDifference =
        edit->addAction(QStringLiteral("Next &difference"), this, [this] { editor_->NextDifference(); });
    nextDifference->setObjectName(QStringLiteral("nextDifference"));
    nextDifference->setShortcut(QKeySequence(Qt::Key_F8));
    QAction* previousDifference = edit->addAction(QStringLiteral("Previous di&fference"), this,
                                                  [this] { editor_->PreviousDifference(); });
    previousDifference->setObjectName(QStringLiteral("previousDifference"));
    previousDifference->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));

    // x16 Microwire parts open in words; any part may be viewed either way.
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* words = view->addAction(QStringLiteral("16-bit &words"));
    words->setObjectName(QStringLiteral("wordView"));
    words->setCheckable(true);
    words->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(words, &QAction::toggled, editor_, &HexEditor::SetWordView);

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
    // Name, size and family, sorted by a click on a heading; moving in the
    // list only highlights, Enter or a click takes the part.
    partList_ = new QTreeWidget(left);
    partList_->setAccessibleName(QStringLiteral("Parts"));
    partList_->setHeaderLabels({QStringLiteral("Part"), QStringLiteral("Size"), QStringLiteral("Family")});
    partList_->setRootIsDecorated(false);
    partList_->setUniformRowHeights(true);
    partList_->setAllColumnsShowFocus(true);
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
    backupBox_->setChecked(ToolSettings().value(SettingKey("backup"), true).toBool());
    side->addWidget(backupBox_);
    verifyBox_ = new QCheckBox(QStringLiteral("Verify af&ter writing"), left);
    verifyBox_->setAccessibleName(QStringLiteral("Verify after writing"));
    verifyBox_->setChecked(ToolSettings().value(SettingKey("verify"), true).toBool());
    side->addWidget(verifyBox_);
    auto* backupsLabel = new QLabel(QStringLiteral("Bac&kups of this part:"), left);
    backupList_ = new QListWidget(left);
    backupList_->setAccessibleName(QStringLiteral("Backups of this part"));
    backupsLabel->setBuddy(backupList_);
    // A whole row (its time and CRC) in sight without a scroll bar.
    backupList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    backupList_->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00  CRC-32 00000000")) +
        backupList_->frameWidth() * 2 + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    side->addWidget(backupsLabel);
    side->addWidget(backupList_, 1);
    restoreButton_ = new QPushButton(QStringLiteral("&Load into buffer"), left);
    restoreButton_->setAccessibleName(QStringLiteral("Load the backup into the buffer"));
    side->addWidget(restoreButton_);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(editor_, 1);
    cursorStatus_ = new QLabel(top);
    cursorStatus_->setAccessibleName(QStringLiteral("Cursor and selection"));
    cursorStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    topLayout->addWidget(cursorStatus_);
    const auto showCursor = [this] {
        cursorStatus_->setText(CursorStatusText(editor_->Data(), editor_->CursorOffset(),
                                                editor_->SelectionStart(), editor_->SelectionLength()));
    };
    connect(editor_, &HexEditor::CursorMoved, cursorStatus_, showCursor);
    connect(editor_, &HexEditor::SelectionChanged, cursorStatus_, showCursor);
    connect(editor_, &HexEditor::DataEdited, cursorStatus_, showCursor);
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
    filter_->installEventFilter(this);
    connect(filter_, &QLineEdit::returnPressed, this, [this] {
        for (int row = 0; row < partList_->topLevelItemCount(); ++row) {
            if (partList_->topLevelItem(row)->isHidden()) continue;
            ChoosePart(partList_->topLevelItem(row)->text(0));
            return;
        }
    });
    const auto take = [this](QTreeWidgetItem* item) {
        if (item != nullptr && !ChoosePart(item->text(0))) ShowChosenPart();
    };
    connect(partList_, &QTreeWidget::itemActivated, this, take);
    connect(partList_, &QTreeWidget::itemClicked, this, take);
    connect(deviceBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { ChooseDevice(deviceBox_->itemData(index).toInt()); });
    connect(detectButton_, &QPushButton::clicked, this, &ProgrammerWindow::Detect);
    connect(cancelButton_, &QPushButton::clicked, this, &ProgrammerWindow::CancelJob);
    connect(backupBox_, &QCheckBox::toggled, this,
            [](bool on) { ToolSettings().setValue(SettingKey("backup"), on); });
    connect(verifyBox_, &QCheckBox::toggled, this,
            [](bool on) { ToolSettings().setValue(SettingKey("verify"), on); });
    connect(restoreButton_, &QPushButton::clicked, this,
            [this] { LoadBackupEntry(backupList_->currentRow()); });
    connect(backupList_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { LoadBackupEntry(backupList_->row(item)); });
    FillRecentMenu();
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

void ProgrammerWindow::DiscardBuffer() {
    editor_->SetData(std::vector<std::uint8_t>(static_cast<std::size_t>(part_->bytes), 0xFF));  // no history
    filePath_.clear();
    editor_->SetCompare(nullptr);
    SetMarks({});
    differences_->clear();
    report_->clear();
    UpdateTitle();
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

// --- Window state ----------------------------------------------------------------

void ProgrammerWindow::SaveWindowState() {
    QSettings settings = ToolSettings();
    settings.setValue(SettingKey("geometry"), saveGeometry());
    settings.setValue(SettingKey("mainSplitter"), mainSplitter_->saveState());
    settings.setValue(SettingKey("editorSplitter"), editorSplitter_->saveState());
}

void ProgrammerWindow::RestoreWindowState() {
    const QSettings settings = ToolSettings();
    RestoreWindowGeometry(*this, settings.value(SettingKey("geometry")).toByteArray(), QSize(1100, 780));
    RestoreSplitterState(*mainSplitter_, settings.value(SettingKey("mainSplitter")).toByteArray());
    RestoreSplitterState(*editorSplitter_, settings.value(SettingKey("editorSplitter")).toByteArray());
}

bool ProgrammerWindow::HasUnsavedEdits() const { return !editor_->UndoStack().isClean(); }

bool ProgrammerWindow::MayQuit() {
    if (jobRunning_) return false;
    if (!HasUnsavedEdits()) return true;
    if (!MayDiscardEdits(QStringLiteral("quit"))) return false;
    DiscardBuffer();  // let go: no later way out asks again
    return true;
}

void ProgrammerWindow::closeEvent(QCloseEvent* event) {
    // A running job's own Cancel stops it; the window stays to say how it
    // ended. Edits in no file are not lost to a close unasked.
    if (jobRunning_ || !MayDiscardEdits(QStringLiteral("close the chip programmer"))) {
        event->ignore();
        return;
    }
    if (HasUnsavedEdits()) DiscardBuffer();
    SaveWindowState();
    QMainWindow::closeEvent(event);
}

}  // namespace ui
