// The "Bench" window: building its views, the refresh tick, the fault and
// traffic switches and the chip dumps; also MainDialog's entry to it.
#include "ui/bench/bench_window.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <functional>

#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"
#include "ui/main/ui_seams.h"
#include "eeprom/chip_table.h"
#include "eeprom/file_access.h"
#include "hardware/port_adapter.h"

namespace ui {

using namespace eeprom;

using simulator::SimulatedBench;

namespace {

enum Fault { kAdapterAbsent, kControllerAbsent, kBusHeldBusy, kSlavesNack, kChipNoStore, kFaultCount };
const char* const kFaultCaptions[kFaultCount] = {"Adapter absent", "Controller absent", "Bus held busy",
                                                 "Slave not acknowledging", "Chip not storing"};
const char* const kFaultTips[kFaultCount] = {
    "The parallel port has nothing on it: every register reads FF.",
    "The adapter is there but its PCF8584 does not answer the probe.",
    "Another master holds the I2C bus: our controller never finds it free.",
    "No slave on the I2C bus acknowledges its address.",
    "The chip in the serial socket acknowledges writes but keeps its old contents.",
};

const QColor kFlashColour(0xFF, 0xC8, 0x3C);
const QColor kLampOn(0x3C, 0xD0, 0x50);
const QColor kLampOff(0x30, 0x3A, 0x32);
const QColor kPulseRing(0xFF, 0x90, 0x10);
const QColor kBarColour(0x3C, 0x8C, 0xE0);

QFont FixedFont() { return QFontDatabase::systemFont(QFontDatabase::FixedFont); }

// "00".."FF", built once: drawing a byte must not build a string.
const std::array<QString, 256>& ByteTexts() {
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int i = 0; i < 256; ++i)
            t[static_cast<std::size_t>(i)] = QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
        return t;
    }();
    return texts;
}

QString Hex(int value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// Row labels of a plain memory: the row's first address.
std::vector<QString> AddressLabels(std::size_t size) {
    const int digits = size > 256 ? 3 : 2;
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

// The socket's choices: the chip list's parts, each once (both organisations
// of a 93Cxx are one chip; its ORG pin picks the words).
QStringList SocketParts() {
    QStringList parts;
    for (const char* entry : kChipListEntries) {
        QString part = QString::fromLatin1(entry);
        part.remove(QStringLiteral(" (8)"));
        part.remove(QStringLiteral(" (16)"));
        if (!part.isEmpty() && !parts.contains(part)) parts << part;
    }
    return parts;
}

QString EcrModeName(std::uint8_t ecr) {
    static const char* const kModes[8] = {"standard", "byte",     "FIFO", "ECP",
                                          "EPP",      "reserved", "test", "config"};
    return QString::fromLatin1(kModes[ecr >> 5]);
}

QString PortText(SimulatedBench::Port port) {
    switch (port) {
        case SimulatedBench::Port::Lpt1: return QStringLiteral("LPT1 (378)");
        case SimulatedBench::Port::Lpt2: return QStringLiteral("LPT2 (278)");
        case SimulatedBench::Port::None: break;
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

}  // namespace

// --- Chip dumps ---------------------------------------------------------------

ChipDumpLoad LoadChipDump(const QString& path, std::vector<std::uint8_t>& memory, std::string& error) {
    ChipDumpLoad result;
    QByteArray data;
    bool longer = false;
    if (!ReadFileHead(path, static_cast<qint64>(memory.size()), data, longer, error)) return result;
    std::memcpy(memory.data(), data.constData(), static_cast<std::size_t>(data.size()));
    result.ok = true;
    result.bytesLoaded = static_cast<int>(data.size());
    result.fileLonger = longer;
    return result;
}

bool SaveChipDump(const QString& path, const std::vector<std::uint8_t>& memory, std::string& error) {
    return WriteFileAtomically(path, reinterpret_cast<const char*>(memory.data()),
                               static_cast<qint64>(memory.size()), error);
}

// --- ByteGridState --------------------------------------------------------------

bool ByteGridState::Flashing(std::size_t index) const {
    const std::uint32_t at = changedAt_[index];
    return at != 0 && tick_ - (at - 1) < kFlashTicks;
}

bool ByteGridState::Update(const std::uint8_t* data, std::size_t size, std::uint32_t tick,
                           std::vector<int>& dirtyRows) {
    tick_ = tick;
    dirtyRows.clear();
    if (size != bytes_.size()) {
        bytes_.assign(data, data + size);
        changedAt_.assign(size, 0);
        rowChangedAt_.assign(static_cast<std::size_t>(Rows()), 0);
        flashingRows_.clear();
        for (int row = 0; row < Rows(); ++row) dirtyRows.push_back(row);
        return true;
    }
    // Rows whose flash ran out are drawn once more, plain.
    std::erase_if(flashingRows_, [&](int row) {
        if (tick - (rowChangedAt_[static_cast<std::size_t>(row)] - 1) < kFlashTicks) return false;
        dirtyRows.push_back(row);
        return true;
    });
    if (size == 0 || std::memcmp(bytes_.data(), data, size) == 0) return !dirtyRows.empty();
    for (std::size_t start = 0; start < size; start += kColumns) {
        const std::size_t end = std::min(size, start + kColumns);
        if (std::memcmp(bytes_.data() + start, data + start, end - start) == 0) continue;
        for (std::size_t i = start; i < end; ++i) {
            if (bytes_[i] == data[i]) continue;
            bytes_[i] = data[i];
            changedAt_[i] = tick + 1;
        }
        const int row = static_cast<int>(start / kColumns);
        std::uint32_t& rowAt = rowChangedAt_[static_cast<std::size_t>(row)];
        if (std::find(flashingRows_.begin(), flashingRows_.end(), row) == flashingRows_.end())
            flashingRows_.push_back(row);
        rowAt = tick + 1;
        if (std::find(dirtyRows.begin(), dirtyRows.end(), row) == dirtyRows.end()) dirtyRows.push_back(row);
    }
    return true;
}

// --- HexGrid ------------------------------------------------------------------

HexGrid::HexGrid(std::vector<QString> rowLabels, QWidget* parent) : QWidget(parent) {
    setFont(FixedFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QFontMetrics metrics(font());
    // Two digits and a narrow gap: two grids side by side must leave room
    // for the main window on a common screen.
    cellWidth_ =
        metrics.horizontalAdvance(QStringLiteral("00")) + metrics.horizontalAdvance(QLatin1Char(' ')) * 2 / 3;
    rowHeight_ = metrics.height() + 1;
    ascent_ = metrics.ascent();
    SetRowLabels(std::move(rowLabels));
}

void HexGrid::SetRowLabels(std::vector<QString> rowLabels) {
    rowLabels_ = std::move(rowLabels);
    const QFontMetrics metrics(font());
    int widest = metrics.horizontalAdvance(QStringLiteral("000"));
    for (const QString& label : rowLabels_) widest = std::max(widest, metrics.horizontalAdvance(label));
    labelWidth_ = widest + cellWidth_ / 2 + 4;
    resize(sizeHint());
    update();
}

QSize HexGrid::sizeHint() const {
    const int rows = std::max<int>(1, static_cast<int>(rowLabels_.size()));
    return {labelWidth_ + ByteGridState::kColumns * cellWidth_ + 4, rows * rowHeight_ + 2};
}

QRect HexGrid::RowRect(int row) const { return {0, 1 + row * rowHeight_, width(), rowHeight_}; }

bool HexGrid::Show(const std::uint8_t* data, std::size_t size, std::uint32_t tick) {
    const std::size_t oldSize = state_.Size();
    if (state_.Update(data, size, tick, dirtyRows_)) {
        if (size != oldSize) {
            update();
        } else {
            for (int row : dirtyRows_) update(RowRect(row));
        }
    }
    return state_.AnyFlashing();
}

void HexGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Changed rows far apart arrive as one region of several rectangles:
    // paint those, not the span between them.
    for (const QRect& area : event->region()) PaintRows(painter, area);
}

void HexGrid::PaintRows(QPainter& painter, const QRect& area) {
    const QPalette& pal = palette();
    painter.fillRect(area, pal.base());
    const int rows = state_.Rows();
    const int first = std::max(0, (area.top() - 1) / rowHeight_);
    const int last = std::min(rows - 1, (area.bottom() - 1) / rowHeight_);
    const auto& texts = ByteTexts();
    for (int row = first; row <= last; ++row) {
        const QRect rect = RowRect(row);
        const int baseline = rect.top() + ascent_;
        if (static_cast<std::size_t>(row) < rowLabels_.size()) {
            painter.setPen(pal.color(QPalette::PlaceholderText));
            painter.drawText(2, baseline, rowLabels_[static_cast<std::size_t>(row)]);
        }
        if (blockRows_ > 0 && row > 0 && row % blockRows_ == 0) {
            painter.setPen(pal.color(QPalette::Mid));
            painter.drawLine(0, rect.top(), width(), rect.top());
        }
        painter.setPen(pal.color(QPalette::Text));
        for (int column = 0; column < ByteGridState::kColumns; ++column) {
            const std::size_t index = static_cast<std::size_t>(row) * ByteGridState::kColumns + column;
            if (index >= state_.Size()) break;
            const int x = labelWidth_ + column * cellWidth_;
            if (state_.Flashing(index))
                painter.fillRect(x - 2, rect.top(), cellWidth_ - 2, rowHeight_, kFlashColour);
            painter.drawText(x, baseline, texts[state_.Byte(index)]);
        }
    }
}

// --- LatchLamps -------------------------------------------------------------------

namespace {
constexpr int kLampCell = 52;
constexpr int kStatusCell = 72;  // the status lamp stands apart: an input, not a latch line
constexpr int kStatusGap = 8;
constexpr int kLampSize = 14;
const char* const kLampNames[LatchLamps::kLamps] = {"Dev A", "Dev B", "Output1", "Output2",   "ORG",
                                                    "CS",    "DI",    "SK",      "DO (bit 3)"};
// Captions over groups of lamps: first lamp, count, caption.
struct LampGroup {
    int first;
    int count;
    const char* caption;
};
const LampGroup kLampGroups[] = {
    {0, 2, "Reset/Stop Dev"}, {2, 2, "User"}, {4, 4, "Serial socket"}, {8, 1, "Status"}};
}  // namespace

LatchLamps::LatchLamps(QWidget* parent) : QWidget(parent) {}

QString LatchLamps::LampName(int lamp) { return QString::fromLatin1(kLampNames[lamp]); }

QSize LatchLamps::sizeHint() const {
    const QFontMetrics metrics(font());
    return {8 * kLampCell + kStatusGap + kStatusCell + 4, 2 * metrics.height() + kLampSize + 14};
}

QRect LatchLamps::LampRect(int lamp) const {
    const QRect cell = LampCell(lamp);
    return {cell.center().x() - kLampSize / 2, cell.top(), kLampSize, kLampSize};
}

QRect LatchLamps::LampCell(int lamp) const {
    const QFontMetrics metrics(font());
    const int x = 2 + lamp * kLampCell + (lamp == kStatusLamp ? kStatusGap : 0);
    return {x, metrics.height() + 6, lamp == kStatusLamp ? kStatusCell : kLampCell,
            kLampSize + 4 + metrics.height()};
}

void LatchLamps::Show(std::uint8_t latch, std::uint8_t seenHigh, std::uint8_t seenLow, bool statusBit3,
                      std::uint32_t tick) {
    const std::uint16_t lit = static_cast<std::uint16_t>(latch | (statusBit3 ? 1u << kStatusLamp : 0u));
    const std::uint8_t moved = seenHigh & seenLow;
    for (int lamp = 0; lamp < kLamps; ++lamp) {
        std::uint32_t& at = pulsedAt_[static_cast<std::size_t>(lamp)];
        bool changed = ((lit ^ lit_) >> lamp) & 1u;
        if (lamp < 8 && ((moved >> lamp) & 1u)) {
            changed = changed || at == 0;
            at = tick + 1;
        } else if (at != 0 && tick - (at - 1) >= ByteGridState::kFlashTicks) {
            at = 0;
            changed = true;
        }
        if (changed) update(LampRect(lamp).adjusted(-4, -4, 4, 4));
    }
    lit_ = lit;
}

void LatchLamps::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const QPalette& pal = palette();
    painter.setPen(pal.color(QPalette::PlaceholderText));
    for (const LampGroup& group : kLampGroups) {
        const QRect cells = LampCell(group.first).united(LampCell(group.first + group.count - 1));
        const QRect span(cells.left() + 3, 0, cells.width() - 6, metrics.height());
        painter.drawText(span, Qt::AlignHCenter | Qt::AlignTop, QString::fromLatin1(group.caption));
        painter.drawLine(span.left(), span.bottom() + 2, span.right(), span.bottom() + 2);
    }
    for (int lamp = 0; lamp < kLamps; ++lamp) {
        const QRect rect = LampRect(lamp);
        painter.setPen(Pulsed(lamp) ? QPen(kPulseRing, 3) : QPen(pal.color(QPalette::Mid), 1));
        painter.setBrush(Lit(lamp) ? kLampOn : kLampOff);
        painter.drawEllipse(rect);
        painter.setPen(pal.color(QPalette::WindowText));
        painter.drawText(LampCell(lamp), Qt::AlignHCenter | Qt::AlignBottom, LampName(lamp));
    }
}

// --- DacBars ----------------------------------------------------------------------

namespace {
constexpr double kDacScaleVolts = 12.0;
const char* const kRangeTexts[4] = {"0-5 V", "0-8 V", "0-9 V", "0-12 V"};
}  // namespace

DacBars::DacBars(QWidget* parent) : QWidget(parent) {
    setFont(FixedFont());
    rowHeight_ = QFontMetrics(font()).height() + 3;
}

QSize DacBars::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("12  FF  0-12 V  12.00 V ")) + 90,
            kChannels * rowHeight_ + 4};
}

QRect DacBars::RowRect(int index) const { return {0, 2 + index * rowHeight_, width(), rowHeight_}; }

QString DacBars::VoltsText(int channel) const {
    return QString::asprintf("%5.2f V", Channel(channel).Volts()).trimmed();
}

void DacBars::Show(const std::vector<simulator::DacChannel>& channels, bool present) {
    if (present != present_) {
        present_ = present;
        update();
    }
    const std::size_t n = std::min<std::size_t>(channels.size(), kChannels);
    for (std::size_t i = 0; i < n; ++i) {
        simulator::DacChannel& shown = channels_[i];
        if (shown.value == channels[i].value && shown.range == channels[i].range) continue;
        shown = channels[i];
        update(RowRect(static_cast<int>(i)));
    }
}

void DacBars::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const QFontMetrics metrics(font());
    painter.setPen(present_ ? pal.color(QPalette::WindowText) : pal.color(QPalette::PlaceholderText));
    const int textWidth = metrics.horizontalAdvance(QStringLiteral("12  FF  0-12 V  12.00 V "));
    const int barWidth = std::max(20, width() - textWidth - 8);
    for (int i = 0; i < kChannels; ++i) {
        const QRect row = RowRect(i);
        if (!row.intersects(event->rect())) continue;
        painter.fillRect(row, pal.window());
        const simulator::DacChannel& c = channels_[static_cast<std::size_t>(i)];
        const QString text = QStringLiteral("%1  %2  %3  %4")
                                 .arg(i + 1, 2)
                                 .arg(ByteTexts()[c.value])
                                 .arg(QString::fromLatin1(kRangeTexts[c.range & 3u]), -6)
                                 .arg(VoltsText(i + 1), 7);
        painter.drawText(2, row.top() + metrics.ascent(), text);
        const QRect frame(textWidth, row.top() + 2, barWidth, rowHeight_ - 5);
        painter.fillRect(frame, pal.base());
        const int filled =
            static_cast<int>(barWidth * std::clamp(c.Volts() / kDacScaleVolts, 0.0, 1.0) + 0.5);
        painter.fillRect(QRect(frame.left(), frame.top(), filled, frame.height()),
                         present_ ? kBarColour : pal.color(QPalette::Mid));
    }
}

// --- BenchWindow ----------------------------------------------------------------

BenchWindow::BenchWindow(SimulatedBench& bench, QWidget* parent)
    : QWidget(parent, Qt::Window), bench_(bench) {
    setWindowTitle(QStringLiteral("Bench"));
    setObjectName(QStringLiteral("benchWindow"));
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

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addWidget(noteLabel_);

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

namespace {

QPushButton* ActionButton(const QString& caption, QWidget* receiver, const std::function<void()>& action) {
    auto* button = new QPushButton(caption);
    QObject::connect(button, &QPushButton::clicked, receiver, action);
    return button;
}

// A tab page: a line of text and buttons above the grid.
QWidget* GridPage(QLayout* header, HexGrid* grid, int rows) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(header);
    layout->addWidget(GridArea(grid, rows), 1, Qt::AlignLeft | Qt::AlignTop);
    return page;
}

}  // namespace

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
    eepromHeader->addWidget(ActionButton(QStringLiteral("Load..."), this, [this] { LoadEeprom(); }));
    eepromHeader->addWidget(ActionButton(QStringLiteral("Save..."), this, [this] { SaveEeprom(); }));
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
    socketLoad_ = ActionButton(QStringLiteral("Load..."), this, [this] { LoadSocketChip(); });
    socketSave_ = ActionButton(QStringLiteral("Save..."), this, [this] { SaveSocketChip(); });
    auto* socketHeader = new QGridLayout;
    socketHeader->addWidget(new QLabel(QStringLiteral("Chip:")), 0, 0);
    socketHeader->addWidget(socketChoice_, 0, 1, 1, 3);
    socketHeader->addWidget(socketLabel_, 1, 0, 1, 2);
    socketHeader->addWidget(socketLoad_, 1, 2);
    socketHeader->addWidget(socketSave_, 1, 3);
    socketHeader->setColumnStretch(1, 1);
    // The widest chip sets the grid's width and the address column.
    socketGrid_ = new HexGrid(AddressLabels(2048));
    chipTabs_->addTab(GridPage(socketHeader, socketGrid_, kRowsInView - 1), QStringLiteral("Socket"));
    socketGrid_->SetRowLabels(AddressLabels(0));

    tabMarked_.assign(static_cast<std::size_t>(chipTabs_->count()), false);
    auto* layout = new QVBoxLayout;
    layout->addWidget(chipTabs_);
    return Box(QStringLiteral("I2C bus and serial socket"), layout);
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
    layout->addWidget(masterLabel_);
    layout->addStretch();

    captureFile_ = bench_.config().captureFile;
    captureLabel_->setText(QString::fromStdString(captureFile_));
    TrafficButton(bench_.config().traffic)->setChecked(true);
    return Box(QStringLiteral("Second bus master"), layout);
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
    if (resetPulseAt_ != 0 && tick_ - (resetPulseAt_ - 1) >= ByteGridState::kFlashTicks) resetPulseAt_ = 0;

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
    const bool state[kFaultCount] = {c.port == SimulatedBench::Port::None, !c.controllerPresent,
                                     c.busHeldBusy, c.slavesNack, c.chipNoStore};
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
    if (on(kBusHeldBusy) != c.busHeldBusy) bench_.SetBusHeldBusy(on(kBusHeldBusy));
    if (on(kSlavesNack) != c.slavesNack) bench_.SetSlavesNack(on(kSlavesNack));
    if (on(kChipNoStore) != c.chipNoStore) bench_.SetChipNoStore(on(kChipNoStore));
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

std::vector<std::uint8_t>* BenchWindow::SocketMemory() {
    simulator::SerialChip* chip = bench_.SocketChip();
    if (!chip || chip->Memory().empty()) return nullptr;
    return &chip->Memory();
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

namespace {
const QString kEepromName = QStringLiteral("24C16");
}  // namespace

void BenchWindow::LoadEeprom() { LoadInto(false); }
void BenchWindow::SaveEeprom() { SaveFrom(false); }
void BenchWindow::LoadSocketChip() { LoadInto(true); }
void BenchWindow::SaveSocketChip() { SaveFrom(true); }

std::vector<std::uint8_t>* BenchWindow::ChipMemory(bool socket, QString& name) {
    if (!socket) {
        name = kEepromName;
        return &bench_.Eeprom();
    }
    std::vector<std::uint8_t>* memory = SocketMemory();
    if (!memory) {
        ShowMessage(
            QStringLiteral("The serial socket holds no memory chip: choose one in the chip list or here."));
        return nullptr;
    }
    name = QString::fromStdString(bench_.SocketChip()->Name());
    return memory;
}

void BenchWindow::LoadInto(bool socket) {
    QString name;
    if (!ChipMemory(socket, name)) return;
    const QString path = AskOpenPath(QStringLiteral("*.bin"));
    if (path.isEmpty()) return;
    // The file dialog ran the event loop: take the chip again.
    std::vector<std::uint8_t>* memory = ChipMemory(socket, name);
    if (!memory) return;
    std::string error;
    const ChipDumpLoad result = LoadChipDump(path, *memory, error);
    if (!result.ok) {
        ShowMessage(QString::fromStdString(error));
        return;
    }
    const int size = static_cast<int>(memory->size());
    QString note =
        QStringLiteral("Loaded %1 bytes of \"%2\" into the %3.").arg(result.bytesLoaded).arg(path, name);
    if (result.bytesLoaded == 0)
        note = QStringLiteral("\"%1\" is empty: the %2 is unchanged.").arg(path, name);
    if (result.bytesLoaded > 0 && result.bytesLoaded < size)
        note += QStringLiteral(" Bytes %1 to %2 keep their contents.")
                    .arg(Hex(result.bytesLoaded, 3), Hex(size - 1, 3));
    noteLabel_->setText(note);
    if (result.fileLonger) {
        ShowMessage(
            QStringLiteral("\"%1\" holds more than the %2's %3 bytes: only its first %3 bytes were loaded.")
                .arg(path, name)
                .arg(size));
    }
    Refresh();
}

void BenchWindow::SaveFrom(bool socket) {
    QString name;
    if (!ChipMemory(socket, name)) return;
    const QString path = AskSavePath(name.toLower() + QStringLiteral(".bin"));
    if (path.isEmpty()) return;
    std::vector<std::uint8_t>* memory = ChipMemory(socket, name);
    if (!memory) return;
    std::string error;
    if (!SaveChipDump(path, *memory, error)) {
        ShowMessage(QString::fromStdString(error));
        return;
    }
    noteLabel_->setText(
        QStringLiteral("Saved the %1 (%2 bytes) to \"%3\".").arg(name).arg(memory->size()).arg(path));
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
QString BenchWindow::MasterText() const { return masterLabel_->text(); }
QString BenchWindow::NoteText() const { return noteLabel_->text(); }

// --- The main window's entry ----------------------------------------------------------

void MainDialog::AddBenchWindowEntry() {
    if (!ActiveBench()) return;
    benchWindowAction_ = new QAction(QStringLiteral("&Bench window"), this);
    addAction(benchWindowAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(benchWindowAction_, &QAction::triggered, this, &MainDialog::ShowBenchWindow);
}

void MainDialog::ShowBenchWindow() {
    SimulatedBench* bench = ActiveBench();
    if (!bench) return;
    if (!isVisible()) {
        // At start-up the window is not on screen yet: place the bench window
        // beside it once it is.
        QTimer::singleShot(0, this, &MainDialog::ShowBenchWindow);
        return;
    }
    if (!benchWindow_) {
        benchWindow_ = new BenchWindow(*bench, this);
        benchWindow_->adjustSize();
        // Side by side when the screen is wide enough: the main window moves
        // left as far as it must, the bench window goes to its right.
        const QRect area = screen()->availableGeometry();
        const QSize size = benchWindow_->frameGeometry().size();
        QRect main = frameGeometry();
        const int room = area.right() - main.right() - 8;
        if (room < size.width()) {
            main.moveLeft(std::max(area.left(), main.left() - (size.width() - room)));
            move(main.topLeft());
        }
        const int x = std::max(area.left(), std::min(main.right() + 8, area.right() - size.width()));
        const int y = std::max(area.top(), std::min(main.top(), area.bottom() - size.height()));
        benchWindow_->move(x, y);
    }
    if (benchWindow_->isVisible()) {
        benchWindow_->raise();
        benchWindow_->activateWindow();
    }
    benchWindow_->show();
}

}  // namespace ui
