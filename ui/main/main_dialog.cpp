// MainDialog: construction from template 102, data exchange, the message map,
// the start-up sequence and the About entry.
#include "ui/main/main_dialog.h"

#include <QAction>
#include <QRadioButton>

#include "eeprom/chip_table.h"
#include "eeprom/image.h"
#include "ui/main/about_dialog.h"
#include "ui/main/app_state.h"
#include "ui/main/startup.h"
#include "ui/programmer/programmer_window.h"
#include "ui/resources/icons.h"

namespace ui {

using namespace eeprom;

namespace {

struct TextLink {
    int id;
    QString MainDialog::*member;
    int maxChars;  // 0: no limit
};

// Exchange order of the text members; m_page (1071) sits between the two runs.
const TextLink kTextsBeforePage[] = {
    {ids::kSendSubAddress, &MainDialog::m_sendSubAddress, 2},
    {ids::kSendAddress, &MainDialog::m_sendAddress, 2},
    {ids::kDeviceAddress, &MainDialog::m_deviceAddress, 2},
    {ids::kSendData, &MainDialog::m_sendData, 0},
    {ids::kRemarkText, &MainDialog::m_remarkText, 80},
    {ids::kByteOffset, &MainDialog::m_byteOffset, 2},
};
const TextLink kTextsAfterPage[] = {
    {ids::kCompareValue, &MainDialog::m_compareValue, 2},
    {ids::kByteValue, &MainDialog::m_byteValue, 2},
    {ids::kFilter, &MainDialog::m_filter, 2},
};

}  // namespace

MainDialog::MainDialog(QWidget* parent, std::unique_ptr<eeprom::Session> session)
    : QDialog(parent), session_(std::move(session)), m_hIcon(resources::LoadIcon(resources::kIconApp)) {
    const resources::DialogBuilder::Factory hexView = [](const resources::ControlTemplate&, QWidget* p) {
        return static_cast<QWidget*>(new HexView(p));
    };
    builder_.Build(*this, resources::DialogTemplate102(), {{ids::kHexView, hexView}});
    BindControls();
    SetUpEdits();
    console_ = std::make_unique<ConsoleController>(*this, *session_);
    monitor_ = std::make_unique<MonitorController>(*this, *session_);
    panels_ = std::make_unique<PanelsController>(*this, *session_);
    chip_ = std::make_unique<ChipController>(*this, *session_);

    aboutAction_ = new QAction(this);
    aboutAction_->setShortcut(QKeySequence(Qt::Key_F1));
    aboutAction_->setShortcutContext(Qt::WindowShortcut);

    // Framework plumbing outside the message map: "Exit" is the cancel
    // button, and the simulated bench's socket follows the chip list (before
    // the chip handler runs, so a transfer it starts finds the chip in place).
    connect(Button(ids::kExit), &QPushButton::clicked, this, &QDialog::reject);
    connect(chip_->m_chipList, &QComboBox::activated, this, [this] {
        if (const startup::BenchControl bench = ActiveBenchControl()) {
            bench.SetChipListChoice(chip_->m_chipList->currentText().toStdString());
        }
        // Adapters without an ORG line: on the bench their fake is strapped
        // for the chip chosen, as a technician straps the real one.
        ChipParams chosen;
        ApplyChipChoice(chosen, chip_->m_chipList->currentText().toStdString());
        StrapBenchOrg(chosen.organisation == 16);
    });
    ConnectMessageMap();
    OnInitDialog();
    // On the bench, its own window is one entry below About; the bus
    // transfers come after it.
    AddBenchWindowEntry();
    chip_->AddFastTransfersEntry();
    monitor_->AddTransfersWindowEntry();
    AddProgrammerWindowEntry();
    monitor_->AddAnalyzerEntry();
    chip_->AddSafetyEntries();
    AddAdapterEntry();
    ApplyAdapterLimits();
}

MainDialog::~MainDialog() {
    // A window destroyed while shown loses its focus widget in the base
    // destructor, after the members are gone; the focus handlers (kill-focus
    // of the address edits read the controls) must run while all still live.
    hide();
    // When another window is active, hiding delivers no focus-out here; the
    // base destructor would deliver it later to handlers whose members are
    // gone. Nothing may reach them from now on.
    for (auto* notifier : findChildren<resources::FocusNotifier*>()) notifier->disconnect();
    // The programmer window works on the session, a member.
    delete programmerWindow_;
}

void MainDialog::BindControls() {
    m_output2 = Control<QCheckBox>(ids::kOutput2);
    m_output1 = Control<QCheckBox>(ids::kOutput1);
    m_resetDev = Control<QCheckBox>(ids::kResetDev);
    m_stopDev = Control<QCheckBox>(ids::kStopDev);
}

void MainDialog::SetUpEdits() {
    // The hexadecimal edits take digits 0-9 and A-F only, upper-cased as
    // typed: a stray letter must never turn into another bus address.
    for (int id :
         {ids::kSendAddress, ids::kSendSubAddress, ids::kDeviceAddress, ids::kByteValue, ids::kFilter}) {
        resources::MakeHexEdit(Edit(id), 2);
    }
    Edit(ids::kRemarkText)->setMaxLength(80);
    Edit(ids::kByteOffset)->setMaxLength(2);
    Edit(ids::kCompareValue)->setMaxLength(2);
}

bool MainDialog::UpdateData(bool save) {
    auto exchange = [this, save](const TextLink& link) {
        QLineEdit* edit = Edit(link.id);
        QString& member = this->*link.member;
        if (!save) {
            edit->setText(member);
            return;
        }
        member = edit->text();
        if (link.maxChars > 0) member.truncate(link.maxChars);
    };
    for (const TextLink& link : kTextsBeforePage) exchange(link);
    QLineEdit* page = Edit(ids::kPage);
    if (save) {
        bool ok = false;
        const int value = page->text().trimmed().toInt(&ok);
        if (!ok || value < 0 || value > kPageCount - 1) return false;
        m_page = value;
    } else {
        page->setText(QString::number(m_page));
    }
    for (const TextLink& link : kTextsAfterPage) exchange(link);
    return true;
}

void MainDialog::ConnectMessageMap() {
    using resources::FocusNotifier;
    using resources::ListBox;
    using resources::SpinButton;
    using resources::TrackBar;
    const auto clicked = &QAbstractButton::clicked;

    // System menu: the About entry (context menu and F1 here).
    connect(aboutAction_, &QAction::triggered, this, [this] { OnSysCommand(ids::kAboutCommand); });
    // Paint: the hex view runs DrawHexOverlay before each of its paints.
    connect(Button(ids::kResetPcf), clicked, this, &MainDialog::OnResetPcf);
    connect(monitor_->m_pollTimer, &QTimer::timeout, monitor_.get(), &MonitorController::OnPollTimer);
    connect(Button(ids::kReadEeprom), clicked, chip_.get(), &ChipController::OnReadEeprom);
    connect(Button(ids::kExample), clicked, this, &MainDialog::OnExample);
    connect(Button(ids::kMonitor), clicked, monitor_.get(), &MonitorController::OnMonitorToggle);
    connect(Button(ids::kSend), clicked, console_.get(), &ConsoleController::OnSend);
    connect(Button(ids::kClearColors), clicked, chip_.get(), &ChipController::OnClearColors);
    connect(console_->m_slider, &TrackBar::scrolled, console_.get(), &ConsoleController::OnHScroll);
    connect(console_->m_spin, &SpinButton::deltaPos, console_.get(), &ConsoleController::OnSpinDelta);
    connect(Button(ids::kAddRemark), clicked, console_.get(), &ConsoleController::OnAddRemark);
    connect(console_->m_remarks, &QComboBox::activated, console_.get(), &ConsoleController::OnRemarkChosen);
    connect(chip_->m_hexView, &ListBox::dblClk, chip_.get(), &ChipController::OnHexViewDblClk);
    connect(chip_->m_hexView, &ListBox::selChange, chip_.get(), &ChipController::OnHexViewSelChange);
    connect(console_->m_slider, &TrackBar::releasedCapture, console_.get(),
            &ConsoleController::OnSliderReleased);
    connect(monitor_->m_busLog, &ListBox::dblClk, chip_.get(), &ChipController::OnBusLogDblClk);
    connect(monitor_->m_logHistory, &QComboBox::activated, monitor_.get(),
            &MonitorController::OnLogHistorySelChange);
    connect(Button(ids::kLoadImage), clicked, chip_.get(), &ChipController::OnLoadImage);
    connect(Button(ids::kPrevPage), clicked, chip_.get(), &ChipController::OnPrevPage);
    connect(Button(ids::kNextPage), clicked, chip_.get(), &ChipController::OnNextPage);
    connect(monitor_->m_busLog, &ListBox::selChange, chip_.get(), &ChipController::OnBusLogSelChange);
    // Left button down: default processing.
    connect(Button(ids::kSaveImage), clicked, chip_.get(), &ChipController::OnSaveImage);
    connect(Button(ids::kWriteEeprom), clicked, chip_.get(), &ChipController::OnWriteEeprom);
    connect(Button(ids::kFillZero), clicked, chip_.get(), &ChipController::OnFillZero);
    connect(Control<QRadioButton>(ids::kLpt1), clicked, this, &MainDialog::OnLpt1);
    connect(Control<QRadioButton>(ids::kLpt2), clicked, this, &MainDialog::OnLpt2);
    connect(Button(ids::kSaveBase), clicked, console_.get(), &ConsoleController::OnSaveBase);
    connect(Button(ids::kLoadBase), clicked, console_.get(), &ConsoleController::OnLoadBase);
    // On the state change itself, not on the click that follows it: a paint
    // in between would compare the image with the old snapshot.
    connect(chip_->m_compBuffer, &QCheckBox::toggled, chip_.get(), &ChipController::OnCompBuffer);
    connect(Edit(ids::kByteValue), &QLineEdit::textChanged, chip_.get(), &ChipController::OnByteValueChange);
    connect(m_stopDev, clicked, this, &MainDialog::OnStopDev);
    connect(m_resetDev, clicked, this, &MainDialog::OnResetDev);
    connect(m_output1, clicked, this, &MainDialog::OnOutput1);
    connect(m_output2, clicked, this, &MainDialog::OnOutput2);
    connect(Button(ids::kSwapBytes), clicked, chip_.get(), &ChipController::OnSwapBytes);
    connect(chip_->m_chipList, &QComboBox::activated, chip_.get(), &ChipController::OnChipSelChange);
    connect(FocusNotifier::Watch(chip_->m_hexView), &FocusNotifier::setFocus, chip_.get(),
            &ChipController::OnHexViewSetFocus);
    connect(FocusNotifier::Watch(chip_->m_hexView), &FocusNotifier::killFocus, chip_.get(),
            &ChipController::OnHexViewKillFocus);
    connect(FocusNotifier::Watch(Edit(ids::kFilter)), &FocusNotifier::killFocus, monitor_.get(),
            &MonitorController::OnFilterKillFocus);
    connect(FocusNotifier::Watch(Edit(ids::kSendAddress)), &FocusNotifier::killFocus, console_.get(),
            &ConsoleController::OnAddressKillFocus);
    connect(FocusNotifier::Watch(Edit(ids::kSendSubAddress)), &FocusNotifier::killFocus, console_.get(),
            &ConsoleController::OnAddressKillFocus);
    connect(Button(ids::kExtended), clicked, panels_.get(), &PanelsController::OnExtended);
    // Measure item, cancel mode: default processing.
    connect(FocusNotifier::Watch(Edit(ids::kRemarkText)), &FocusNotifier::setFocus, console_.get(),
            &ConsoleController::OnRemarkFocus);
}

void MainDialog::OnInitDialog() {
    // 1. The base-class part (controls from the template) ran in the constructor.
    // 2. The About entry. This desktop has no system menu a program can
    //    extend, so the entry goes where Linux users look: the window's
    //    context menu and F1.
    const QString about = resources::LoadString(resources::kStringAboutEntry);
    if (!about.isEmpty()) {
        aboutAction_->setText(about);
        addAction(aboutAction_);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    // 3.
    setWindowIcon(m_hIcon);
    // 4. No extended panel is open yet: it opens from "Extended" only.
    // 5.
    m_sendAddress = QStringLiteral("00");
    m_sendSubAddress = QStringLiteral("00");
    m_sendData = HexByteText(128);
    // 6.
    hardware::PortAdapter* parallel = session_->Parallel();
    if (parallel) parallel->SetLatch(kLatchStart);
    // 7. No entry selected.
    for (const char* entry : kChipListEntries) chip_->m_chipList->addItem(QString::fromLatin1(entry));
    chip_->m_chipList->setCurrentIndex(-1);
    // 8.
    console_->m_slider->setRange(0, 255);
    console_->m_slider->setValue(128);
    console_->m_spin->SetRange(0, 255);
    console_->m_spin->SetPos(console_->m_slider->value());
    // 9.
    m_page = 0;
    chip_->m_progress->setRange(0, 255);
    // 10. As latch bits 2 and 3 of the start value.
    m_output1->setChecked(true);
    m_output2->setChecked(true);
    // 11. 18 pixels at the 6-pixel average character width the layout was
    //     drawn for: 12 dialog units, so it grows with the font.
    chip_->m_hexView->SetColumnWidth(builder_.X(12));
    // 12.
    console_->m_remarks->addItem(QString());
    m_remarkText.clear();
    console_->m_remarks->setCurrentIndex(0);
    monitor_->m_logHistory->addItem(QString());
    monitor_->m_logHistory->setCurrentIndex(0);
    // 13.
    m_byteValue = QStringLiteral("00");
    m_byteOffset = QStringLiteral("00");
    m_deviceAddress = QStringLiteral("A1");
    // 14.
    UpdateData(false);
    // 15.
    if (parallel) parallel->SetLatch(kLatchStart);
    // 16. (Another adapter has no ports to choose from.)
    if (parallel) {
        ChoosePortAtStart();
    } else {
        StartWithoutLatch();
    }
    // 17.
    Invalidate();
    chip_->RefreshHexView();
    // 18.
    if (parallel) parallel->ResetAdapter(0, parallel->Latch());
}

void MainDialog::ChoosePortAtStart() {
    auto* lpt1 = Control<QRadioButton>(ids::kLpt1);
    auto* lpt2 = Control<QRadioButton>(ids::kLpt2);
    if (const int held = HeldParallelPort()) {  // --adapter lpt1|lpt2
        ProbeAt(held);
        (held == hardware::kLpt2 ? lpt2 : lpt1)->setChecked(true);
        return;
    }
    ProbeAt(hardware::kLpt1);
    lpt1->setChecked(true);
    if (session_->controllerPresent == 0) {
        ProbeAt(hardware::kLpt2);
        if (session_->controllerPresent == 1) lpt2->setChecked(true);
    }
    if (session_->controllerPresent == 0) {
        ProbeAt(hardware::kLpt1);
        lpt1->setChecked(true);
    }
}

void MainDialog::OnSysCommand(int command) {
    if ((command & 0xFFF0) != ids::kAboutCommand) return;
    AboutDialog about(this);
    about.exec();
}

void MainDialog::Invalidate() {
    update();
    chip_->m_hexView->viewport()->update();
}

void MainDialog::done(int result) {
    // The programmer's job runs on this window's adapter: it ends first. Its
    // buffer's edits are not lost unasked (Exit, Esc, the close button and
    // the signals all end here).
    if (programmerWindow_ && !programmerWindow_->MayQuit()) return;
    // The poll timer ends with the window.
    monitor_->m_pollTimer->stop();
    QDialog::done(result);
}

}  // namespace ui
