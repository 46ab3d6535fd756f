// The "Bench" window: the simulated bench as a technician sees and drives it.
// It shows the adapter (port, ECR mode, the latch lines as lamps), the I2C
// slaves and the serial socket as hex grids, the DAC's twelve outputs, the
// second bus master, and check boxes for the faults; it loads and saves the
// virtual chips' contents as raw files (chip_dump.h). It reads the bench
// through its own accessors, never through the port seam, so watching changes
// nothing the program sees. A timer on the window's thread refreshes it; each
// refresh compares with what is shown and repaints only what changed.
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
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace ui {

class DacBars;
class HexGrid;
class LatchLamps;

class BenchWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;

    BenchWindow(simulator::SimulatedBench& bench, QWidget* parent = nullptr);
    ~BenchWindow() override;
    // What the contents need, without the scroll area's own cap.
    QSize sizeHint() const override;

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
    // The bus recorded so far, SCL and SDA, to a VCD file the user names.
    void ExportWaveform();
    void LoadEeprom();
    void SaveEeprom();
    void LoadSocketChip();
    void SaveSocketChip();
    void LoadI2cPart();
    void SaveI2cPart();
    void ChooseI2cPart(int index);  // 0: empty the I2C socket
    QComboBox* I2cChoice() const { return i2cChoice_; }
    QString I2cSocketText() const;

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
    void RefreshI2cSocket();
    void RefreshMaster();
    void SyncFaultBoxes();
    void MarkTab(std::size_t tab, bool flashing);
    bool StartTraffic(simulator::SimulatedBench::Traffic traffic, const std::string& file);
    // Chip dumps (chip_dump.cpp). The 24C16's memory, or the socket chip's (with a message when the
    // socket holds none); `name` is the chip's name.
    enum class DumpChip { Eeprom, SerialSocket, I2cSocket };
    std::vector<std::uint8_t>* ChipMemory(DumpChip chip, QString& name);
    std::vector<std::uint8_t>* SocketMemory();
    void LoadInto(DumpChip chip);
    void SaveFrom(DumpChip chip);

    simulator::SimulatedBench& bench_;
    QWidget* content_ = nullptr;  // the scrolled contents
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

    // I2C socket: any 24Cxx part, the 24C16 off the bus while one is in.
    QComboBox* i2cChoice_ = nullptr;
    QLabel* i2cLabel_ = nullptr;
    HexGrid* i2cGrid_ = nullptr;
    std::size_t i2cTab_ = 0;
    bool i2cShown_ = false;
    std::string shownI2cPart_;
    QPushButton* i2cLoad_ = nullptr;
    QPushButton* i2cSave_ = nullptr;

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
