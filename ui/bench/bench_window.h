// The "Bench" window: the simulated bench as a technician sees and drives it.
// It shows the adapter (port, ECR mode, the latch lines as lamps), the I2C
// slaves and the serial socket as hex grids, the DAC's twelve outputs, the
// second bus master, and check boxes for the faults; it loads and saves the
// virtual chips' contents as raw files. It reads the bench through its own
// accessors, never through the port seam, so watching changes nothing the
// program sees. A timer on the window's thread refreshes it; each refresh
// compares with what is shown and repaints only what changed.
#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "simulator/simulated_bench.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPainter;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace ui {

// --- Chip dumps (no widgets) ---------------------------------------------------

struct ChipDumpLoad {
    bool ok = false;
    int bytesLoaded = 0;
    bool fileLonger = false;  // the file holds more than the chip; the rest was left out
};

// Reads the file completely first (at most memory.size() bytes), then copies
// it over the start of `memory`; bytes past the file's end keep their
// contents. A failed read changes nothing and sets `error` to one sentence.
ChipDumpLoad LoadChipDump(const QString& path, std::vector<std::uint8_t>& memory, std::string& error);
// Writes the whole memory atomically; on failure the old file stays as it was.
bool SaveChipDump(const QString& path, const std::vector<std::uint8_t>& memory, std::string& error);

// --- What changed since the last look (no painting) ----------------------------

// The bytes a grid shows and, for each, the refresh tick it last changed at.
// Update() answers which rows need a repaint: rows with a new byte, and rows
// whose flash has just run out.
class ByteGridState {
public:
    static constexpr int kColumns = 16;
    static constexpr std::uint32_t kFlashTicks = 8;  // 0.8 s at the window's 100 ms

    // Copies `size` bytes; returns true when anything must be repainted, with
    // the rows in `dirtyRows`. A new size replaces the contents without a
    // flash (another chip went into the socket) and marks every row dirty.
    bool Update(const std::uint8_t* data, std::size_t size, std::uint32_t tick, std::vector<int>& dirtyRows);

    std::size_t Size() const { return bytes_.size(); }
    int Rows() const { return static_cast<int>((bytes_.size() + kColumns - 1) / kColumns); }
    std::uint8_t Byte(std::size_t index) const { return bytes_[index]; }
    bool Flashing(std::size_t index) const;
    bool AnyFlashing() const { return !flashingRows_.empty(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint32_t> changedAt_;  // tick + 1 of the last change; 0: never
    std::vector<int> flashingRows_;
    std::vector<std::uint32_t> rowChangedAt_;
    std::uint32_t tick_ = 0;
};

// --- Painted views ------------------------------------------------------------

// One hex grid: 16 bytes a row after the row's label; changed bytes flash.
class HexGrid : public QWidget {
    Q_OBJECT
public:
    // One label per row (the row's first address), built once.
    HexGrid(std::vector<QString> rowLabels, QWidget* parent = nullptr);

    // Takes the bytes and repaints the rows that changed. Returns whether any
    // byte is flashing.
    bool Show(const std::uint8_t* data, std::size_t size, std::uint32_t tick);
    void SetRowLabels(std::vector<QString> rowLabels);
    // Draws a rule above every row that is a multiple of `rows` (the blocks of
    // the 24C16); 0: none.
    void SetBlockRows(int rows) { blockRows_ = rows; }
    const ByteGridState& State() const { return state_; }
    QRect RowRect(int row) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintRows(QPainter& painter, const QRect& area);

    ByteGridState state_;
    std::vector<QString> rowLabels_;
    std::vector<int> dirtyRows_;
    int blockRows_ = 0;
    int labelWidth_ = 0;
    int cellWidth_ = 0;
    int rowHeight_ = 0;
    int ascent_ = 0;
};

// The output latch's eight lines and status bit 3 as lamps. A lamp is lit
// while its line is high; a ring around it flashes when the line moved
// (was seen both high and low) since the previous refresh.
class LatchLamps : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLamps = 9;  // latch bits 0..7, then status bit 3
    static constexpr int kStatusLamp = 8;

    explicit LatchLamps(QWidget* parent = nullptr);

    void Show(std::uint8_t latch, std::uint8_t seenHigh, std::uint8_t seenLow, bool statusBit3,
              std::uint32_t tick);
    static QString LampName(int lamp);
    bool Lit(int lamp) const { return (lit_ >> lamp) & 1u; }
    bool Pulsed(int lamp) const { return pulsedAt_[static_cast<std::size_t>(lamp)] != 0; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect LampRect(int lamp) const;
    QRect LampCell(int lamp) const;  // the lamp and its name

    std::uint16_t lit_ = 0;
    std::array<std::uint32_t, kLamps> pulsedAt_{};  // tick + 1 of the last movement; 0: none showing
};

// The twelve DAC outputs: channel, value, range and voltage, and a bar on a
// common 0..12 V scale so the channels compare at a glance.
class DacBars : public QWidget {
    Q_OBJECT
public:
    static constexpr int kChannels = 12;

    explicit DacBars(QWidget* parent = nullptr);

    // `present`: whether the converter sits in the socket; without it the
    // rows are shown greyed.
    void Show(const std::vector<simulator::DacChannel>& channels, bool present);
    // "2.51 V", as the row shows it; channel 1..12.
    QString VoltsText(int channel) const;
    simulator::DacChannel Channel(int channel) const {
        return channels_[static_cast<std::size_t>(channel - 1)];
    }
    bool Present() const { return present_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect RowRect(int index) const;

    std::array<simulator::DacChannel, kChannels> channels_{};
    bool present_ = false;
    int rowHeight_ = 0;
};

// --- The window ---------------------------------------------------------------

class BenchWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;

    BenchWindow(simulator::SimulatedBench& bench, QWidget* parent = nullptr);
    ~BenchWindow() override;

    // One refresh tick (the timer calls it; tests and the benchmark too).
    void Refresh();

    // --- For tests: what the window shows -------------------------------
    QCheckBox* FaultBox(const QString& caption) const;
    const LatchLamps* Lamps() const { return lamps_; }
    const HexGrid* EepromGrid() const { return eepromGrid_; }
    const HexGrid* RegisterGrid(std::uint8_t device) const;
    const HexGrid* SocketGrid() const { return socketGrid_; }
    const DacBars* Dac() const { return dac_; }
    QString AdapterText() const;      // port, ECR and latch, as the top line shows them
    QString DeviceStateText() const;  // what the device lines say: running, stopped, reset pulse
    QString SocketText() const;       // which chip sits in the socket
    QString MasterText() const;       // transfers played and what the master waits for
    QString NoteText() const;         // the result of the last load or save
    QComboBox* SocketChoice() const { return socketChoice_; }
    QTimer* RefreshTimer() const { return timer_; }
    QRadioButton* TrafficButton(simulator::SimulatedBench::Traffic traffic) const;
    QPushButton* Button(const QString& caption) const;

    // --- Actions (the controls call these) ------------------------------
    void ApplyFaults();
    void ChooseSocketChip(int index);
    void ChooseTraffic(simulator::SimulatedBench::Traffic traffic);
    void OpenCapture();
    void LoadEeprom();
    void SaveEeprom();
    void LoadSocketChip();
    void SaveSocketChip();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* BuildAdapterBox();
    QWidget* BuildFaultBox();
    QWidget* BuildChipTabs();
    QWidget* BuildDacBox();
    QWidget* BuildMasterBox();

    void RefreshAdapter();
    void RefreshBus();
    void RefreshSocket();
    void RefreshMaster();
    void SyncFaultBoxes();
    void MarkTab(std::size_t tab, bool flashing);
    bool StartTraffic(simulator::SimulatedBench::Traffic traffic, const std::string& file);
    // The 24C16's memory, or the socket chip's (with a message when the
    // socket holds none); `name` is the chip's name.
    std::vector<std::uint8_t>* ChipMemory(bool socket, QString& name);
    std::vector<std::uint8_t>* SocketMemory();
    void LoadInto(bool socket);
    void SaveFrom(bool socket);

    simulator::SimulatedBench& bench_;
    QTimer* timer_ = nullptr;
    std::uint32_t tick_ = 0;

    // Adapter.
    QLabel* adapterLabel_ = nullptr;
    QLabel* deviceLabel_ = nullptr;
    LatchLamps* lamps_ = nullptr;
    std::uint8_t previousLatch_ = 0;
    std::uint32_t resetPulseAt_ = 0;  // tick + 1 of the last device-reset pulse seen
    const char* deviceState_ = nullptr;
    int shownAdapter_ = -1;  // port, ECR and latch the top line shows

    // Faults, in the order of kFaultCaptions.
    std::vector<QCheckBox*> faults_;
    simulator::SimulatedBench::Port lastPort_ = simulator::SimulatedBench::Port::Lpt1;

    // I2C bus and serial socket, one tab each chip.
    QTabWidget* chipTabs_ = nullptr;
    HexGrid* eepromGrid_ = nullptr;
    std::vector<std::uint8_t> registerDevices_;
    std::vector<HexGrid*> registerGrids_;
    std::array<std::uint8_t, 256> registerScratch_{};
    std::vector<bool> tabMarked_;

    // Serial socket.
    QComboBox* socketChoice_ = nullptr;
    QLabel* socketLabel_ = nullptr;
    HexGrid* socketGrid_ = nullptr;
    bool socketShown_ = false;
    const simulator::SerialChip* shownChip_ = nullptr;
    std::string shownChipName_;
    QPushButton* socketLoad_ = nullptr;
    QPushButton* socketSave_ = nullptr;

    // DAC.
    QGroupBox* dacBox_ = nullptr;
    DacBars* dac_ = nullptr;

    // Second master.
    QButtonGroup* trafficGroup_ = nullptr;
    QLabel* captureLabel_ = nullptr;
    QLabel* masterLabel_ = nullptr;
    std::string captureFile_;
    std::uint64_t shownPlayed_ = 0;
    bool shownWaiting_ = false;

    QLabel* noteLabel_ = nullptr;
};

}  // namespace ui
