// The bench window itself: its boxes and tabs, the refresh tick that keeps
// them in step with the bench, the fault and traffic switches, and what the
// tests look up. The views it is built from have files of their own
// (chip_grid, latch_lamps, dac_bars), and so do the chip dumps and the main
// window's entry.
#include "ui/bench/bench_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "eeprom/chip_table.h"
#include "hardware/chip_parts.h"
#include "hardware/port_adapter.h"
#include "simulator/i2c_memory.h"
#include "simulator/serial_chip.h"
#include "startup/backend.h"
#include "ui/bench/bench_look.h"
#include "ui/bench/chip_grid.h"
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

// Row labels of a plain memory: the row's first address.
std::vector<QString> AddressLabels(std::size_t size) {
    const int digits = size > 65536 ? 5 : size > 4096 ? 4 : size > 256 ? 3 : 2;
    std::vector<QString> labels;
    for (std::size_t at = 0; at < size; at += ByteGridState::kColumns)
        labels.push_back(Hex(static_cast<int>(at), digits));
    return labels;
}

// Row labels of the 24C16: the block's device address, then the word address.
std::vector<QString> EepromLabels() {
    std::vector<QString> labels;
    for (int at = 0; at < 2048; at += ByteGridState::kColumns) {
        labels.push_back(Hex(0xA0 + 2 * (at / 256), 2) + QLatin1Char(' ') + Hex(at % 256, 2));
    }
    return labels;
}

QStringList Names(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& name : names) list << QString::fromStdString(name);
    return list;
}

// The socket's choices (simulator::SerialSocketParts).
QStringList SocketParts() { return Names(simulator::SerialSocketParts()); }

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

// One sentence for a message box: capital first letter, full stop.
QString Sentence(const std::string& text) {
    QString s = QString::fromStdString(text);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    if (!s.endsWith(QLatin1Char('.'))) s += QLatin1Char('.');
    return s;
}

QGroupBox* Box(const QString& title, QLayout* layout) {
    auto* box = new QGroupBox(title);
    box->setLayout(layout);
    return box;
}

// A scroll area that shows at least `rows` rows of the grid, more when the
// window is taller, and scrolls the rest.
QScrollArea* GridArea(HexGrid* grid, int rows) {
    auto* area = new QScrollArea;
    area->setWidget(grid);
    area->setWidgetResizable(false);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int frame = 2 * area->frameWidth();
    area->setFixedWidth(grid->sizeHint().width() + area->verticalScrollBar()->sizeHint().width() + frame);
    area->setMinimumHeight(grid->RowRect(0).height() * rows + frame);
    area->setMaximumHeight(grid->sizeHint().height() + frame);
    return area;
}

// `name` is what assistive technology announces: the caption alone does not
// say which chip a tab's Load and Save act on.
QPushButton* ActionButton(const QString& caption, const QString& name, QWidget* receiver,
                          const std::function<void()>& action) {
    auto* button = new QPushButton(caption);
    button->setAccessibleName(name);
    QObject::connect(button, &QPushButton::clicked, receiver, action);
    return button;
}

// A socket's header: its choice, and below it what it holds with Load and Save.
QGridLayout* SocketHeader(const QString& caption, QComboBox* choice, QLabel* label, QPushButton* load,
                          QPushButton* save) {
    auto* header = new QGridLayout;
    header->addWidget(new QLabel(caption), 0, 0);
    header->addWidget(choice, 0, 1, 1, 3);
    header->addWidget(label, 1, 0, 1, 2);
    header->addWidget(load, 1, 2);
    header->addWidget(save, 1, 3);
    header->setColumnStretch(1, 1);
    return header;
}

// The largest part a socket takes (a 24M02, a 25M02).
constexpr std::size_t kLargestPart = [] {
    std::size_t largest = 0;
    for (const hardware::ChipPart& part : hardware::kMemoryParts)
        largest = std::max(largest, static_cast<std::size_t>(part.bytes));
    return largest;
}();

// A tab page: a line of text and buttons above the grid.
QWidget* GridPage(QLayout* header, HexGrid* grid, int rows) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(header);
    layout->addWidget(GridArea(grid, rows), 1, Qt::AlignLeft | Qt::AlignTop);
    return page;
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

QWidget* BenchWindow::BuildChipTabs() {
    // One grid in view at a time keeps the window beside the main window on
    // a common screen; a tab whose chip is changing shows it in its colour.
    chipTabs_ = new QTabWidget;
    chipTabs_->setUsesScrollButtons(false);  // every chip's tab in sight
    constexpr int kRowsInView = 16;

    eepromGrid_ = new HexGrid(EepromLabels());
    eepromGrid_->SetBlockRows(256 / ByteGridState::kColumns);
    // The block list brings a block (a device address) into view, as the
    // main window's page shows one.
    auto* block = new QComboBox;
    for (int b = 0; b < 8; ++b) block->addItem(Hex(0xA0 + 2 * b, 2));
    auto* eepromHeader = new QHBoxLayout;
    eepromHeader->addWidget(new QLabel(QStringLiteral("Block at")));
    eepromHeader->addWidget(block);
    eepromHeader->addStretch();
    eepromHeader->addWidget(ActionButton(QStringLiteral("Load..."), QStringLiteral("Load 24C16"), this,
                                         [this] { LoadEeprom(); }));
    eepromHeader->addWidget(ActionButton(QStringLiteral("Save..."), QStringLiteral("Save 24C16"), this,
                                         [this] { SaveEeprom(); }));
    QWidget* eepromPage = GridPage(eepromHeader, eepromGrid_, kRowsInView);
    chipTabs_->addTab(eepromPage, QStringLiteral("24C16"));
    chipTabs_->setTabToolTip(0, QStringLiteral("24C16 EEPROM at A0-AE: 8 blocks of 256 bytes"));
    auto* eepromArea = eepromPage->findChild<QScrollArea*>();
    connect(block, &QComboBox::activated, this, [this, eepromArea](int b) {
        eepromArea->verticalScrollBar()->setValue(
            eepromGrid_->RowRect(b * 256 / ByteGridState::kColumns).top());
    });

    registerDevices_ = bench_.RegisterDevices();
    for (std::uint8_t device : registerDevices_) {
        auto* grid = new HexGrid(AddressLabels(256));
        registerGrids_.push_back(grid);
        auto* header = new QHBoxLayout;
        header->addWidget(
            new QLabel(QStringLiteral("Register device at %1, 256 registers").arg(Hex(device, 2))));
        chipTabs_->addTab(GridPage(header, grid, kRowsInView), QStringLiteral("Reg %1").arg(Hex(device, 2)));
    }

    // The I2C socket: any 24Cxx part at 0x50, the 24C16 off the bus while one is in.
    i2cChoice_ = new QComboBox;
    i2cChoice_->setAccessibleName(QStringLiteral("I2C socket part"));
    i2cChoice_->addItem(QStringLiteral("Empty"));
    i2cChoice_->addItems(Names(simulator::I2cSocketParts()));
    connect(i2cChoice_, &QComboBox::activated, this, &BenchWindow::ChooseI2cPart);
    i2cLabel_ = new QLabel;
    i2cLoad_ = ActionButton(QStringLiteral("Load..."), QStringLiteral("Load I2C socket part"), this,
                            [this] { LoadI2cPart(); });
    i2cSave_ = ActionButton(QStringLiteral("Save..."), QStringLiteral("Save I2C socket part"), this,
                            [this] { SaveI2cPart(); });
    i2cGrid_ = new HexGrid(AddressLabels(kLargestPart));
    i2cTab_ = static_cast<std::size_t>(chipTabs_->addTab(
        GridPage(SocketHeader(QStringLiteral("Part:"), i2cChoice_, i2cLabel_, i2cLoad_, i2cSave_), i2cGrid_,
                 kRowsInView - 1),
        QStringLiteral("I2C socket")));
    i2cGrid_->SetRowLabels(AddressLabels(0));

    socketChoice_ = new QComboBox;
    socketChoice_->addItem(QStringLiteral("Follow the chip list"));
    socketChoice_->addItems(SocketParts());
    const QString fixed = QString::fromStdString(bench_.config().fixedSocketChip);
    if (!fixed.isEmpty()) {
        if (socketChoice_->findText(fixed) < 0) socketChoice_->addItem(fixed);
        socketChoice_->setCurrentIndex(socketChoice_->findText(fixed));
    }
    connect(socketChoice_, &QComboBox::activated, this, &BenchWindow::ChooseSocketChip);
    socketLabel_ = new QLabel;
    socketLoad_ = ActionButton(QStringLiteral("Load..."), QStringLiteral("Load socket chip"), this,
                               [this] { LoadSocketChip(); });
    socketSave_ = ActionButton(QStringLiteral("Save..."), QStringLiteral("Save socket chip"), this,
                               [this] { SaveSocketChip(); });
    // The widest chip sets the grid's width and the address column.
    socketGrid_ = new HexGrid(AddressLabels(kLargestPart));
    chipTabs_->addTab(
        GridPage(SocketHeader(QStringLiteral("Chip:"), socketChoice_, socketLabel_, socketLoad_, socketSave_),
                 socketGrid_, kRowsInView - 1),
        QStringLiteral("Socket"));
    socketGrid_->SetRowLabels(AddressLabels(0));

    tabMarked_.assign(static_cast<std::size_t>(chipTabs_->count()), false);
    auto* layout = new QVBoxLayout;
    layout->addWidget(chipTabs_);
    return Box(QStringLiteral("I2C bus, I2C socket and serial socket"), layout);
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

void BenchWindow::RefreshBus() {
    std::vector<std::uint8_t>& eeprom = bench_.Eeprom();
    MarkTab(0, eepromGrid_->Show(eeprom.data(), eeprom.size(), tick_));
    for (std::size_t i = 0; i < registerDevices_.size(); ++i) {
        for (int reg = 0; reg < 256; ++reg)
            registerScratch_[static_cast<std::size_t>(reg)] =
                bench_.Register(registerDevices_[i], static_cast<std::uint8_t>(reg));
        MarkTab(i + 1, registerGrids_[i]->Show(registerScratch_.data(), registerScratch_.size(), tick_));
    }
}

void BenchWindow::MarkTab(std::size_t tab, bool flashing) {
    // A tab whose chip is changing shows it in its caption's colour, so that
    // activity on a chip not in view is not missed.
    if (tabMarked_[tab] == flashing) return;
    tabMarked_[tab] = flashing;
    chipTabs_->tabBar()->setTabTextColor(static_cast<int>(tab), flashing ? kPulseRing.darker(130) : QColor());
}

void BenchWindow::RefreshSocket() {
    simulator::SerialChip* chip = bench_.SocketChip();
    std::vector<std::uint8_t>* memory = chip ? &chip->Memory() : nullptr;
    const std::size_t size = memory ? memory->size() : 0;
    if (!socketShown_ || chip != shownChip_ || (chip && chip->Name() != shownChipName_)) {
        socketShown_ = true;
        shownChip_ = chip;
        shownChipName_ = chip ? chip->Name() : std::string();
        const QString name = QString::fromStdString(shownChipName_);
        QString text = QStringLiteral("The socket is empty.");
        if (chip && size > 0) text = QStringLiteral("In the socket: %1, %2 bytes").arg(name).arg(size);
        if (chip && size == 0)
            text = QStringLiteral("In the socket: %1 (no memory; its outputs are below)").arg(name);
        socketLabel_->setText(text);
        socketGrid_->SetRowLabels(AddressLabels(size));
        socketLoad_->setEnabled(size > 0);
        socketSave_->setEnabled(size > 0);
    }
    MarkTab(tabMarked_.size() - 1, socketGrid_->Show(memory ? memory->data() : nullptr, size, tick_));

    static const std::vector<simulator::DacChannel> kNoConverter(DacBars::kChannels);
    const std::vector<simulator::DacChannel> channels =
        chip ? chip->Channels() : std::vector<simulator::DacChannel>();
    const bool present = !channels.empty();
    if (present != dac_->Present() || dacBox_->title().isEmpty()) {
        dacBox_->setTitle(present ? QStringLiteral("DAC outputs (M62358/M62359)")
                                  : QStringLiteral("DAC outputs (no converter in the socket)"));
    }
    dac_->Show(present ? channels : kNoConverter, present);
}

void BenchWindow::RefreshI2cSocket() {
    simulator::I2cMemory* part = bench_.I2cPart();
    std::vector<std::uint8_t>* memory = part ? &part->Memory() : nullptr;
    const std::size_t size = memory ? memory->size() : 0;
    const std::string name = part ? std::string(part->Part().name) : std::string();
    if (!i2cShown_ || name != shownI2cPart_) {
        i2cShown_ = true;
        shownI2cPart_ = name;
        i2cLabel_->setText(part ? QStringLiteral("In the I2C socket: %1, %2 bytes (the 24C16 is off the bus)")
                                      .arg(QString::fromStdString(name))
                                      .arg(size)
                                : QStringLiteral("The I2C socket is empty."));
        i2cChoice_->setCurrentIndex(std::max(0, i2cChoice_->findText(QString::fromStdString(name))));
        i2cGrid_->SetRowLabels(AddressLabels(size));
        i2cLoad_->setEnabled(size > 0);
        i2cSave_->setEnabled(size > 0);
    }
    MarkTab(i2cTab_, i2cGrid_->Show(memory ? memory->data() : nullptr, size, tick_));
}

void BenchWindow::ChooseI2cPart(int index) {
    std::string error;
    if (!bench_.PutPart(index <= 0 ? std::string() : i2cChoice_->itemText(index).toStdString(), error))
        ShowMessage(Sentence(error));
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

void BenchWindow::ChooseSocketChip(int index) {
    bench_.SetFixedSocketChip(index <= 0 ? std::string() : socketChoice_->itemText(index).toStdString());
    Refresh();
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
