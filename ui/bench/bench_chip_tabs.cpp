// The bench window's chip tabs: the 24C16 and the register devices on the
// I2C bus, the I2C socket and the serial socket, each a hex grid that follows
// its chip, with the socket choices and a tab caption that shows activity.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "eeprom/chip_table.h"
#include "hardware/chip_parts.h"
#include "simulator/i2c_memory.h"
#include "simulator/serial_chip.h"
#include "ui/bench/bench_look.h"
#include "ui/bench/bench_window.h"
#include "ui/bench/chip_grid.h"
#include "ui/bench/dac_bars.h"
#include "ui/main/ui_seams.h"

namespace ui {

using simulator::SimulatedBench;

namespace {

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

void BenchWindow::ChooseSocketChip(int index) {
    bench_.SetFixedSocketChip(index <= 0 ? std::string() : socketChoice_->itemText(index).toStdString());
    Refresh();
}

}  // namespace ui
