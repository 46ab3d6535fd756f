// The bench window itself: its boxes, the refresh tick that keeps them in
// step with the bench, the fault and traffic switches, and what the tests
// look up. The chip tabs have a file of their own (bench_chip_tabs.cpp), as
// have the views it is built from (chip_grid, latch_lamps, dac_bars), the
// chip dumps and the main window's entry.
#include "ui/bench/bench_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "hardware/port_adapter.h"
#include "startup/backend.h"
#include "ui/bench/bench_look.h"
#include "ui/bench/dac_bars.h"
#include "ui/bench/latch_lamps.h"
#include "ui/main/ui_seams.h"
#include "ui/resources/accessible_buttons.h"

namespace ui {

using simulator::SimulatedBench;

namespace {

enum Fault {
    kAdapterAbsent,
    kControllerAbsent,
    kControllerSlowStart,
    kBusHeldBusy,
    kSlavesNack,
    kChipNoStore,
    kSlowParts,
    kFaultCount
};
const char* const kFaultCaptions[kFaultCount] = {
    "Adapter absent", "Controller absent",       "Controller slow to start",
    "Bus held busy",  "Slave not acknowledging", "Chip not storing",
    "Slow parts"};
const char* const kFaultTips[kFaultCount] = {
    "The parallel port has nothing on it: every register reads FF.",
    "The adapter is there but its PCF8584 does not answer the probe.",
    "The PCF8584 misses its first set-up after power-on: the first probe after it is put back fails.",
    "Another master holds the I2C bus: our controller never finds it free.",
    "No slave on the I2C bus acknowledges its address.",
    "The chip in the serial socket acknowledges writes but keeps its old contents.",
    "Every memory takes the longest write cycle its datasheet allows (24Cxx and 93Cxx 10 ms, AT25 5 ms).",
};

QString EcrModeName(std::uint8_t ecr) {
    static const char* const kModes[8] = {"standard", "byte",     "FIFO", "ECP",
                                          "EPP",      "reserved", "test", "config"};
    return QString::fromLatin1(kModes[ecr >> 5]);
}

QString PortText(SimulatedBench::Port port) {
    switch (port) {
        case SimulatedBench::Port::Lpt1:
            return QStringLiteral("LPT1 (378)");
        case SimulatedBench::Port::Lpt2:
            return QStringLiteral("LPT2 (278)");
        case SimulatedBench::Port::None:
            break;
    }
    return QStringLiteral("none (adapter absent)");
}

}  // namespace

// --- BenchWindow ----------------------------------------------------------------

BenchWindow::BenchWindow(SimulatedBench& bench, QWidget* parent)
    : QWidget(parent, Qt::Window), bench_(bench) {
    setWindowTitle(QStringLiteral("Bench"));
    setObjectName(QStringLiteral("benchWindow"));
    resources::InstallAccessibleButtons();  // also when this window opens without the main one
    if (bench_.AdapterPort() != SimulatedBench::Port::None) lastPort_ = bench_.AdapterPort();

    auto* top = new QHBoxLayout;
    top->addWidget(BuildAdapterBox(), 1);
    top->addWidget(BuildFaultBox());
    auto* right = new QVBoxLayout;
    right->addWidget(BuildDacBox());
    right->addWidget(BuildMasterBox(), 1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(BuildChipTabs());
    middle->addLayout(right, 1);
    noteLabel_ = new QLabel;
    noteLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Everything scrolls, so the window fits a small screen's height.
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addWidget(noteLabel_);
    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    content_ = content;

    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, &BenchWindow::Refresh);
    // Lines that moved before the window opened are history, not news.
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    bench_.TakeLatchActivity(high, low);
    previousLatch_ = bench_.Latch();
    Refresh();
}

BenchWindow::~BenchWindow() = default;

QSize BenchWindow::sizeHint() const { return content_->sizeHint(); }

QWidget* BenchWindow::BuildAdapterBox() {
    adapterLabel_ = new QLabel;
    adapterLabel_->setFont(FixedFont());
    deviceLabel_ = new QLabel;
    lamps_ = new LatchLamps;
    lamps_->setMinimumSize(lamps_->sizeHint());
    auto* layout = new QVBoxLayout;
    layout->addWidget(adapterLabel_);
    layout->addWidget(lamps_);
    layout->addWidget(deviceLabel_);
    return Box(QStringLiteral("Adapter"), layout);
}

QWidget* BenchWindow::BuildFaultBox() {
    auto* layout = new QVBoxLayout;
    for (int i = 0; i < kFaultCount; ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(kFaultCaptions[i]));
        box->setToolTip(QString::fromLatin1(kFaultTips[i]));
        connect(box, &QCheckBox::clicked, this, &BenchWindow::ApplyFaults);
        faults_.push_back(box);
        layout->addWidget(box);
    }
    layout->addStretch();
    return Box(QStringLiteral("Faults"), layout);
}

QWidget* BenchWindow::BuildDacBox() {
    dac_ = new DacBars;
    dac_->setMinimumSize(dac_->sizeHint());
    auto* layout = new QVBoxLayout;
    layout->addWidget(dac_);
    dacBox_ = Box(QString(), layout);
    return dacBox_;
}

QWidget* BenchWindow::BuildMasterBox() {
    trafficGroup_ = new QButtonGroup(this);
    auto* layout = new QVBoxLayout;
    const std::pair<SimulatedBench::Traffic, const char*> kinds[] = {
        {SimulatedBench::Traffic::None, "Off"},
        {SimulatedBench::Traffic::Demo, "Demo"},
        {SimulatedBench::Traffic::Capture, "Capture file"},
    };
    for (const auto& [kind, caption] : kinds) {
        auto* button = new QRadioButton(QString::fromLatin1(caption));
        trafficGroup_->addButton(button, static_cast<int>(kind));
        layout->addWidget(button);
    }
    connect(trafficGroup_, &QButtonGroup::idClicked, this,
            [this](int id) { ChooseTraffic(static_cast<SimulatedBench::Traffic>(id)); });
    auto* open = new QPushButton(QStringLiteral("Open capture..."));
    connect(open, &QPushButton::clicked, this, &BenchWindow::OpenCapture);
    captureLabel_ = new QLabel;
    captureLabel_->setWordWrap(true);
    auto* file = new QHBoxLayout;
    file->addWidget(open);
    file->addWidget(captureLabel_, 1);
    masterLabel_ = new QLabel;
    masterLabel_->setWordWrap(true);
    layout->addLayout(file);
    auto* waveform = new QHBoxLayout;
    waveform->addWidget(ActionButton(QStringLiteral("Export waveform..."),
                                     QStringLiteral("Export bus waveform"), this,
                                     [this] { ExportWaveform(); }));
    waveform->addStretch();
    layout->addLayout(waveform);
    layout->addWidget(masterLabel_);
    layout->addStretch();

    captureFile_ = bench_.config().captureFile;
    captureLabel_->setText(QString::fromStdString(captureFile_));
    TrafficButton(bench_.config().traffic)->setChecked(true);
    return Box(QStringLiteral("Second bus master"), layout);
}

void BenchWindow::ExportWaveform() {
    const QString path = AskSavePath(QStringLiteral("bench.vcd"));
    if (path.isEmpty()) return;
    std::string error;
    if (!startup::SaveBusWaveform(bench_, QFile::encodeName(path).toStdString(), error)) {
        ShowMessage(QString::fromStdString(error));
        return;
    }
    noteLabel_->setText(QStringLiteral("Saved the bus waveform (SCL and SDA) to \"%1\".").arg(path));
}

void BenchWindow::showEvent(QShowEvent* event) {
    Refresh();
    timer_->start();
    QWidget::showEvent(event);
}

void BenchWindow::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

void BenchWindow::Refresh() {
    ++tick_;
    RefreshAdapter();
    SyncFaultBoxes();
    RefreshBus();
    RefreshSocket();
    RefreshI2cSocket();
    RefreshMaster();
}

void BenchWindow::RefreshAdapter() {
    const std::uint8_t latch = bench_.Latch();
    const std::uint8_t ecr = bench_.Ecr();
    const SimulatedBench::Port port = bench_.AdapterPort();
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    bench_.TakeLatchActivity(high, low);
    lamps_->Show(latch, high, low, (bench_.StatusRegister() & hardware::kStatusSerialIn) != 0, tick_);

    // A reset pulse: both device lines moved in an interval that began and
    // ended in the run state (a release from "Stop Dev" begins stopped).
    static constexpr std::uint8_t kDevLines = 0x03;
    static constexpr std::uint8_t kRun = 0x01;
    static constexpr std::uint8_t kStop = 0x02;
    if ((previousLatch_ & kDevLines) == kRun && (latch & kDevLines) == kRun &&
        (high & low & kDevLines) == kDevLines)
        resetPulseAt_ = tick_ + 1;
    previousLatch_ = latch;
    if (resetPulseAt_ != 0 && tick_ - (resetPulseAt_ - 1) >= kFlashTicks) resetPulseAt_ = 0;

    const char* state = "neither running nor stopped (both device lines alike)";
    if ((latch & kDevLines) == kStop) state = "stopped (\"Stop Dev\")";
    if ((latch & kDevLines) == kRun) state = resetPulseAt_ != 0 ? "running, after a reset pulse" : "running";
    if (bench_.LatchLoads() == 0) state = "no latch loaded yet";
    if (state != deviceState_) {
        deviceState_ = state;
        deviceLabel_->setText(QStringLiteral("Device: ") + QString::fromLatin1(state));
    }

    const int shown = (static_cast<int>(port) << 16) | (ecr << 8) | latch;
    if (shown == shownAdapter_) return;
    shownAdapter_ = shown;
    adapterLabel_->setText(QStringLiteral("Port %1   ECR %2 (%3)   Latch %4")
                               .arg(PortText(port), ByteTexts()[ecr], EcrModeName(ecr), ByteTexts()[latch]));
}

void BenchWindow::SyncFaultBoxes() {
    // Faults set elsewhere (the command line, a test) show here too.
    const SimulatedBench::Config& c = bench_.config();
    const bool state[kFaultCount] = {c.port == SimulatedBench::Port::None,
                                     !c.controllerPresent,
                                     c.controllerSlowStart,
                                     c.busHeldBusy,
                                     c.slavesNack,
                                     c.chipNoStore,
                                     c.slowParts};
    for (int i = 0; i < kFaultCount; ++i) {
        if (faults_[static_cast<std::size_t>(i)]->isChecked() != state[i])
            faults_[static_cast<std::size_t>(i)]->setChecked(state[i]);
    }
}

void BenchWindow::ApplyFaults() {
    const SimulatedBench::Config& c = bench_.config();
    auto on = [this](Fault fault) { return faults_[static_cast<std::size_t>(fault)]->isChecked(); };
    if (on(kAdapterAbsent) && c.port != SimulatedBench::Port::None) {
        lastPort_ = c.port;
        bench_.SetPort(SimulatedBench::Port::None);
    } else if (!on(kAdapterAbsent) && c.port == SimulatedBench::Port::None) {
        bench_.SetPort(lastPort_);
    }
    if (on(kControllerAbsent) == c.controllerPresent) bench_.SetControllerPresent(!on(kControllerAbsent));
    if (on(kControllerSlowStart) != c.controllerSlowStart) {
        bench_.SetControllerSlowStart(on(kControllerSlowStart));
    }
    if (on(kBusHeldBusy) != c.busHeldBusy) bench_.SetBusHeldBusy(on(kBusHeldBusy));
    if (on(kSlavesNack) != c.slavesNack) bench_.SetSlavesNack(on(kSlavesNack));
    if (on(kChipNoStore) != c.chipNoStore) bench_.SetChipNoStore(on(kChipNoStore));
    if (on(kSlowParts) != c.slowParts) bench_.SetSlowParts(on(kSlowParts));
    Refresh();
}

void BenchWindow::RefreshMaster() {
    const SimulatedBench::Config& c = bench_.config();
    if (QAbstractButton* button = TrafficButton(c.traffic); button && !button->isChecked())
        button->setChecked(true);
    const std::uint64_t played = bench_.TransfersPlayed();
    const bool waiting = c.traffic != SimulatedBench::Traffic::None && !bench_.MonitorSetupInForce();
    if (played == shownPlayed_ && waiting == shownWaiting_ && masterLabel_ && !masterLabel_->text().isEmpty())
        return;
    shownPlayed_ = played;
    shownWaiting_ = waiting;
    QString text = QStringLiteral("Transfers played: %1").arg(played);
    if (waiting)
        text += QStringLiteral(
            "\nWaiting: the master's transfers reach the bus only while the bus monitor runs.");
    masterLabel_->setText(text);
}

bool BenchWindow::StartTraffic(SimulatedBench::Traffic traffic, const std::string& file) {
    const SimulatedBench::Traffic previous = bench_.config().traffic;
    const std::string previousFile = bench_.config().captureFile;
    bench_.SetTraffic(traffic, file);
    std::string error;
    if (bench_.TrafficError(error)) {
        bench_.SetTraffic(previous, previousFile);
        TrafficButton(previous)->setChecked(true);
        ShowMessage(Sentence(error));
        return false;
    }
    Refresh();
    return true;
}

void BenchWindow::ChooseTraffic(SimulatedBench::Traffic traffic) {
    if (traffic == SimulatedBench::Traffic::Capture && captureFile_.empty()) {
        OpenCapture();
        return;
    }
    StartTraffic(traffic, traffic == SimulatedBench::Traffic::Capture ? captureFile_ : std::string());
}

void BenchWindow::OpenCapture() {
    const QString path = AskOpenPath(QStringLiteral("*.txt"));
    if (path.isEmpty()) {
        TrafficButton(bench_.config().traffic)->setChecked(true);
        return;
    }
    if (!StartTraffic(SimulatedBench::Traffic::Capture, path.toStdString())) return;
    captureFile_ = path.toStdString();
    captureLabel_->setText(path);
}

// --- Lookups for tests -------------------------------------------------------------

QCheckBox* BenchWindow::FaultBox(const QString& caption) const {
    for (QCheckBox* box : faults_) {
        if (box->text().compare(caption, Qt::CaseInsensitive) == 0) return box;
    }
    return nullptr;
}

const HexGrid* BenchWindow::RegisterGrid(std::uint8_t device) const {
    const auto at = std::find(registerDevices_.begin(), registerDevices_.end(), device);
    return at == registerDevices_.end()
               ? nullptr
               : registerGrids_[static_cast<std::size_t>(at - registerDevices_.begin())];
}

QRadioButton* BenchWindow::TrafficButton(SimulatedBench::Traffic traffic) const {
    return qobject_cast<QRadioButton*>(trafficGroup_->button(static_cast<int>(traffic)));
}

QPushButton* BenchWindow::Button(const QString& caption) const {
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->text() == caption) return button;
    }
    return nullptr;
}

QString BenchWindow::AdapterText() const { return adapterLabel_->text(); }
QString BenchWindow::DeviceStateText() const { return deviceLabel_->text(); }
QString BenchWindow::SocketText() const { return socketLabel_->text(); }
QString BenchWindow::I2cSocketText() const { return i2cLabel_->text(); }
QString BenchWindow::MasterText() const { return masterLabel_->text(); }
QString BenchWindow::NoteText() const { return noteLabel_->text(); }

}  // namespace ui
