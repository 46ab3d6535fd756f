// The bench window against the bench and the main window: its entry, the
// fault switches acting at once on what the program sees, the lamps following
// the latch (pulses included), the chip grids and their flashes, the DAC
// outputs, the second master and the chip dumps, each through the window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <numeric>

#include "eeprom/fast_chip_transfers.h"
#include "eeprom/image.h"
#include "hardware/port_adapter.h"
#include "support/bench_fixture.h"
#include "ui/bench/bench_look.h"
#include "ui/bench/bench_window.h"
#include "ui/bench/chip_grid.h"
#include "ui/bench/dac_bars.h"
#include "ui/bench/latch_lamps.h"
#include "ui/main/app_state.h"
#include "ui/main/startup.h"
#include "ui/panels/dac_panel_dialog.h"
#include "ui/panels/panel_placement.h"
#include "ui/resources/controls.h"

namespace {

using simulator::SimulatedBench;
using testsupport::BenchFixture;

// --- The window on the bench ------------------------------------------------------

class BenchWindowTest : public BenchFixture {
protected:
    BenchWindow& Window() {
        if (!dialog().OpenedBenchWindow()) dialog().ShowBenchWindow();
        BenchWindow* window = dialog().OpenedBenchWindow();
        EXPECT_NE(window, nullptr);
        return *window;
    }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) Window().Refresh();
    }
    void Toggle(const QString& fault) {
        QCheckBox* box = Window().FaultBox(fault);
        ASSERT_NE(box, nullptr) << qPrintable(fault);
        box->click();
    }
    QString WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QTemporaryDir dir;
};

TEST_F(BenchWindowTest, TheContextMenuOpensOneWindowBesideTheMainWindow) {
    QAction* entry = dialog().BenchWindowAction();
    ASSERT_NE(entry, nullptr);
    const QList<QAction*> actions = dialog().actions();
    ASSERT_TRUE(actions.contains(dialog().AboutAction()));
    EXPECT_EQ(actions.indexOf(entry), actions.indexOf(dialog().AboutAction()) + 1) << "next to About";
    EXPECT_EQ(dialog().contextMenuPolicy(), Qt::ActionsContextMenu);

    entry->trigger();
    BenchWindow* window = dialog().OpenedBenchWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    // The offscreen screen has room for neither beside nor below: the bench
    // window is shrunk (it scrolls) and kept on the screen.
    EXPECT_TRUE(window->screen()->availableGeometry().contains(window->geometry()))
        << window->geometry().width() << "x" << window->geometry().height();
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), "Bench");
    EXPECT_TRUE(window->RefreshTimer()->isActive());
    EXPECT_EQ(window->RefreshTimer()->interval(), 100);

    window->close();
    EXPECT_FALSE(window->RefreshTimer()->isActive()) << "no refresh while closed";
    entry->trigger();
    EXPECT_EQ(dialog().OpenedBenchWindow(), window) << "the same window comes back";
    EXPECT_TRUE(window->isVisible());
}

// The main window (982 by 568 here) and the bench window (756 by 633) on a
// full-HD screen side by side, and on a 1600-pixel screen, where side by side
// the bench window would cover the main window's right-hand column, one below
// the other.
TEST(BenchWindowPlacement, BesideWhenTheScreenIsWideEnoughElseBelow) {
    const QSize bench(756, 633);
    const QRect main(600, 100, 982, 568);
    const CompanionPlacement wide = PlaceCompanion(main, bench, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(wide.owner, QPoint(174, 100));  // moved left just enough
    EXPECT_EQ(wide.companion, QPoint(174 + 982 + 8, 100));

    const CompanionPlacement narrow =
        PlaceCompanion(main.translated(-300, 0), bench, QRect(0, 0, 1600, 1200));
    EXPECT_EQ(narrow.owner, QPoint(300, 0));  // moved up just enough
    EXPECT_EQ(narrow.companion, QPoint(300, 568 + 8));
    for (const CompanionPlacement& p : {wide, narrow})
        EXPECT_FALSE(QRect(p.owner, main.size()).intersects(QRect(p.companion, bench)));
}

// A click as the window system delivers it, so that modality applies.
void SystemClick(QWidget* target) {
    QWidget* top = target->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      target->mapTo(top, QPoint(target->height() / 2, target->height() / 2)));
}

TEST_F(BenchWindowTest, StaysUsableBesideTheModalMainWindow) {
    // The main window runs modally (exec); the bench window must still take
    // the technician's clicks.
    dialog().hide();
    dialog().setWindowModality(Qt::ApplicationModal);
    dialog().show();
    SystemClick(Window().FaultBox("Bus held busy"));
    EXPECT_TRUE(bench().config().busHeldBusy);

    BenchWindow unowned(bench());
    unowned.show();
    SystemClick(unowned.FaultBox("Bus held busy"));
    EXPECT_TRUE(bench().config().busHeldBusy) << "a window the modal one does not own is blocked";
}

TEST_F(BenchWindowTest, AtStartUpTheWindowWaitsForTheMainWindowToShow) {
    dialog().hide();
    dialog().ShowBenchWindow();  // as --bench-window does before exec()
    EXPECT_EQ(dialog().OpenedBenchWindow(), nullptr);
    dialog().show();
    QCoreApplication::processEvents();
    ASSERT_NE(dialog().OpenedBenchWindow(), nullptr);
    EXPECT_TRUE(dialog().OpenedBenchWindow()->isVisible());
}

TEST_F(BenchWindowTest, OnHardwareThereIsNoEntry) {
    SetActiveBench(nullptr);
    MainDialog onHardware(nullptr, NewSession());
    EXPECT_EQ(onHardware.BenchWindowAction(), nullptr);
    onHardware.ShowBenchWindow();
    EXPECT_EQ(onHardware.OpenedBenchWindow(), nullptr);
}

TEST_F(BenchWindowTest, FaultsActAtOnceOnWhatTheProgramSees) {
    // "Bus held busy": see the console test below.
    Toggle("Slave not acknowledging");
    EXPECT_EQ(session().Parallel()->I2cWriteByte(0x05, 0x40, 0x33), hardware::ByteResult::NoAck);
    Toggle("Slave not acknowledging");
    EXPECT_EQ(session().Parallel()->I2cWriteByte(0x05, 0x40, 0x33), hardware::ByteResult::Done);

    Toggle("Controller absent");
    Click(ids::kResetPcf);
    EXPECT_EQ(Text(ids::kResetPcf), "Not Found");
    Toggle("Controller absent");
    Click(ids::kResetPcf);
    EXPECT_EQ(Text(ids::kResetPcf), "PCF 8584 Ok");

    Toggle("Adapter absent");
    EXPECT_EQ(bench().AdapterPort(), SimulatedBench::Port::None);
    EXPECT_TRUE(Window().AdapterText().contains("adapter absent"));
    Click(ids::kResetPcf);
    EXPECT_EQ(Text(ids::kResetPcf), "Not Found");
    Toggle("Adapter absent");
    EXPECT_EQ(bench().AdapterPort(), SimulatedBench::Port::Lpt1) << "the adapter goes back where it was";
    Click(ids::kResetPcf);
    EXPECT_EQ(Text(ids::kResetPcf), "PCF 8584 Ok");

    Window().SocketChoice()->setCurrentText("93C46");
    Window().ChooseSocketChip(Window().SocketChoice()->currentIndex());
    Toggle("Chip not storing");
    session().Parallel()->MicrowireWriteEnable(6);
    session().Parallel()->MicrowireWrite(0x10, 6, 8, 0x5A);
    EXPECT_EQ(session().Parallel()->MicrowireRead(0x10, 6, 8), 0xFF);
    Toggle("Chip not storing");
    session().Parallel()->MicrowireWrite(0x10, 6, 8, 0x5A);
    ASSERT_TRUE(WaitMicrowireReady(*session().Parallel(), 20));
    EXPECT_EQ(session().Parallel()->MicrowireRead(0x10, 6, 8), 0x5A);
    Toggle("Slow parts");
    EXPECT_EQ(bench().SocketWriteCycleUs(), 10'000);
    EXPECT_EQ(bench().EepromWriteCycleUs(), 10'000);
    Toggle("Slow parts");
    EXPECT_LT(bench().SocketWriteCycleUs(), 10'000) << "back to the part's own time";

    Toggle("Controller slow to start");  // armed for the controller's next power-up
    EXPECT_TRUE(bench().config().controllerSlowStart);

    // A fault set elsewhere shows in the window.
    bench().SetBusHeldBusy(true);
    Tick();
    EXPECT_TRUE(Window().FaultBox("bus held busy")->isChecked());
}

TEST_F(BenchWindowTest, LampsFollowTheUserAndDeviceLines) {
    Tick();
    const LatchLamps& lamps = *Window().Lamps();
    EXPECT_TRUE(lamps.Lit(hardware::kLineDevA));
    EXPECT_FALSE(lamps.Lit(hardware::kLineDevB));
    EXPECT_TRUE(lamps.Lit(hardware::kLineOutput1));
    EXPECT_TRUE(Window().DeviceStateText().endsWith("running"));
    EXPECT_TRUE(Window().AdapterText().contains("LPT1"));
    EXPECT_TRUE(Window().AdapterText().contains("ECR 80 (EPP)"));
    EXPECT_TRUE(Window().AdapterText().contains("Latch FD"));

    EXPECT_FALSE(lamps.Pulsed(hardware::kLineOutput1)) << "what happened before the window opened";
    Click(ids::kOutput1);
    Tick();
    EXPECT_FALSE(lamps.Lit(hardware::kLineOutput1));
    EXPECT_TRUE(lamps.Pulsed(hardware::kLineOutput1)) << "a change rings the lamp for a while";
    EXPECT_TRUE(lamps.Lit(hardware::kLineOutput2));
    EXPECT_FALSE(lamps.Pulsed(hardware::kLineOutput2));
    EXPECT_TRUE(Window().AdapterText().contains("Latch F9"));

    Click(ids::kStopDev);
    Tick();
    EXPECT_FALSE(lamps.Lit(hardware::kLineDevA));
    EXPECT_TRUE(lamps.Lit(hardware::kLineDevB));
    EXPECT_TRUE(Window().DeviceStateText().contains("stopped"));
    Click(ids::kStopDev);
    Tick();
    EXPECT_TRUE(Window().DeviceStateText().endsWith("running")) << "a release from stop is no reset pulse";
    EXPECT_TRUE(lamps.Pulsed(hardware::kLineDevB));
    Tick(kFlashTicks);
    for (int line = 0; line < LatchLamps::kLamps; ++line) EXPECT_FALSE(lamps.Pulsed(line)) << line;
}

TEST_F(BenchWindowTest, ALampCatchesAPulseShorterThanATick) {
    // The device-reset pulse "Reset Dev" arms and a monitor start gives:
    // 1 ms in the stop state.
    Click(ids::kResetDev);
    ASSERT_TRUE(dialog().m_resetDev->isChecked());
    Tick();
    const LatchLamps& lamps = *Window().Lamps();
    EXPECT_FALSE(lamps.Pulsed(hardware::kLineDevA));
    Click(ids::kMonitor);
    ASSERT_EQ(Text(ids::kMonitor), "Monitor OFF");
    Tick();
    EXPECT_TRUE(lamps.Lit(hardware::kLineDevA)) << "back in the run state";
    EXPECT_TRUE(lamps.Pulsed(hardware::kLineDevA));
    EXPECT_TRUE(lamps.Pulsed(hardware::kLineDevB));
    EXPECT_FALSE(lamps.Pulsed(hardware::kLineOutput1));
    EXPECT_TRUE(Window().DeviceStateText().contains("reset pulse"));
    Tick(kFlashTicks);
    EXPECT_FALSE(lamps.Pulsed(hardware::kLineDevA));
    EXPECT_TRUE(Window().DeviceStateText().endsWith("running"));
    Click(ids::kMonitor);

    // A serial frame moves the socket lines.
    bench().SetChipListChoice("93C46 (8)");
    session().Parallel()->MicrowireRead(0, 6, 8);
    Tick();
    for (int line : {hardware::kLineSelect, hardware::kLineData, hardware::kLineClock})
        EXPECT_TRUE(lamps.Pulsed(line)) << line;
}

TEST_F(BenchWindowTest, ChipGridsShowTheBenchAndFlashWhatChanged) {
    Tick();
    const HexGrid* eeprom = Window().EepromGrid();
    ASSERT_EQ(eeprom->State().Size(), 2048u);
    EXPECT_EQ(eeprom->State().Byte(0x123), 0xFF);

    ASSERT_EQ(session().Parallel()->I2cWriteByte(0x23, 0xA2, 0x5C),
              hardware::ByteResult::Done);  // block 1, byte 0x23
    Tick();
    EXPECT_EQ(eeprom->State().Byte(0x123), 0x5C);
    EXPECT_TRUE(eeprom->State().Flashing(0x123));
    EXPECT_FALSE(eeprom->State().Flashing(0x124));
    Tick(kFlashTicks);
    EXPECT_FALSE(eeprom->State().Flashing(0x123));

    const HexGrid* registers = Window().RegisterGrid(0x70);
    ASSERT_NE(registers, nullptr);
    EXPECT_EQ(Window().RegisterGrid(0x72), nullptr);
    bench().SetRegister(0x70, 0xFE, 0x99);
    Tick();
    EXPECT_EQ(registers->State().Byte(0xFE), 0x99);
    EXPECT_TRUE(registers->State().Flashing(0xFE));
}

TEST_F(BenchWindowTest, TheSocketFollowsTheChipListOrAChipChosenHere) {
    Tick();
    EXPECT_EQ(Window().SocketText(), "The socket is empty.");
    EXPECT_EQ(Window().SocketGrid()->State().Size(), 0u);

    bench().SetChipListChoice("93C66 (16)");
    Tick();
    EXPECT_EQ(Window().SocketText(), "In the socket: 93C66, 512 bytes");
    EXPECT_EQ(Window().SocketGrid()->State().Size(), 512u);

    QComboBox* choice = Window().SocketChoice();
    choice->setCurrentText("AT25C080");
    Window().ChooseSocketChip(choice->currentIndex());
    EXPECT_EQ(bench().SocketChip()->Name(), "AT25C080");
    EXPECT_EQ(Window().SocketText(), "In the socket: AT25C080, 1024 bytes");
    session().Parallel()->SpiWriteByte(0x3FF, 16, 0x42);
    Tick();
    EXPECT_EQ(Window().SocketGrid()->State().Byte(0x3FF), 0x42);
    EXPECT_TRUE(Window().SocketGrid()->State().Flashing(0x3FF));

    choice->setCurrentIndex(0);
    Window().ChooseSocketChip(0);
    EXPECT_EQ(bench().SocketChip()->Name(), "93C66") << "back to the chip list's choice";
}

TEST_F(BenchWindowTest, TheSecondMasterIsChosenHereAndCountsWhatItPlayed) {
    Tick();
    EXPECT_TRUE(Window().TrafficButton(SimulatedBench::Traffic::None)->isChecked());
    EXPECT_EQ(Window().MasterText(), "Transfers played: 0");

    Window().TrafficButton(SimulatedBench::Traffic::Demo)->click();
    EXPECT_EQ(bench().config().traffic, SimulatedBench::Traffic::Demo);
    EXPECT_TRUE(Window().MasterText().contains("only while the bus monitor runs")) << "no monitor set-up yet";

    // A capture that is no capture: a clear message, the demo stays.
    openPathAnswer = WriteFile("notes.txt", "nothing on the bus here\n");
    Window().Button("Open capture...")->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("No I2C bus events in")) << qPrintable(messages[0]);
    EXPECT_EQ(bench().config().traffic, SimulatedBench::Traffic::Demo);
    EXPECT_TRUE(Window().TrafficButton(SimulatedBench::Traffic::Demo)->isChecked());

    // Cancelling the file dialog changes nothing either.
    openPathAnswer.clear();
    Window().TrafficButton(SimulatedBench::Traffic::Capture)->click();
    EXPECT_EQ(bench().config().traffic, SimulatedBench::Traffic::Demo);
    EXPECT_TRUE(Window().TrafficButton(SimulatedBench::Traffic::Demo)->isChecked());

    openPathAnswer = WriteFile("bus.txt", "Start\nAddress write: 50\nACK\nData write: 10\nACK\nStop\n");
    Window().TrafficButton(SimulatedBench::Traffic::Capture)->click();
    EXPECT_EQ(bench().config().traffic, SimulatedBench::Traffic::Capture);
    EXPECT_EQ(bench().config().captureFile, openPathAnswer.toStdString());

    // The monitor's set-up lets the capture through; the count follows.
    ASSERT_EQ(benchtest::CapturePass(*session().Parallel(), 2000).size(), 1u);
    ASSERT_EQ(bench().TransfersPlayed(), 1u);
    Tick();
    EXPECT_EQ(Window().MasterText(), "Transfers played: 1");

    Window().TrafficButton(SimulatedBench::Traffic::None)->click();
    EXPECT_EQ(bench().config().traffic, SimulatedBench::Traffic::None);
}

TEST_F(BenchWindowTest, ChipDumpsGoInAndOutOfTheVirtualChips) {
    QByteArray dump(300, '\0');
    std::iota(dump.begin(), dump.end(), 0);
    openPathAnswer = WriteFile("dump.bin", dump);
    Window().LoadEeprom();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(bench().Eeprom()[299], static_cast<std::uint8_t>(299 & 0xFF));
    EXPECT_EQ(bench().Eeprom()[300], 0xFF) << "past the file the chip keeps its bytes";
    EXPECT_TRUE(Window().NoteText().startsWith("Loaded 300 bytes")) << qPrintable(Window().NoteText());
    EXPECT_EQ(Window().EepromGrid()->State().Byte(299), static_cast<std::uint8_t>(299 & 0xFF));
    EXPECT_EQ(openRequests.last(), "*.bin");
    // What the program reads is what was loaded.
    EXPECT_EQ(session().Parallel()->I2cReadByte(0x2B, 0xA3).value, 0x2B) << "byte 0x12B";

    savePathAnswer = dir.filePath("eeprom.bin");
    Window().SaveEeprom();
    EXPECT_EQ(saveRequests.last(), "24c16.bin");
    QFile saved(savePathAnswer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray whole = saved.readAll();
    ASSERT_EQ(whole.size(), 2048);
    EXPECT_EQ(whole.left(300), dump);

    // The socket: nothing to load into until a memory chip sits there.
    Window().LoadSocketChip();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("The serial socket holds no memory chip"));
    bench().SetChipListChoice("93C06 (8)");
    Window().LoadSocketChip();
    ASSERT_EQ(messages.size(), 2) << "a 300-byte dump in a 32-byte chip";
    EXPECT_TRUE(messages[1].contains("only its first 32 bytes were loaded")) << qPrintable(messages[1]);
    EXPECT_EQ(bench().SocketChip()->Memory()[31], 31);
    EXPECT_EQ(session().Parallel()->MicrowireRead(31, 6, 8), 31);

    openPathAnswer = dir.filePath("missing.bin");
    Window().LoadEeprom();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[2].startsWith("Cannot load")) << qPrintable(messages[2]);
    EXPECT_EQ(bench().Eeprom()[0], 0) << "a failed load changes nothing";

    savePathAnswer = dir.filePath("no/such/folder/eeprom.bin");
    Window().SaveEeprom();
    ASSERT_EQ(messages.size(), 4);
    EXPECT_TRUE(messages[3].startsWith("Cannot save")) << qPrintable(messages[3]);

    // The I2C socket: a 24C256 chosen from its list takes 0x50, the 24C16 leaves the bus.
    openPathAnswer = WriteFile("dump.bin", dump);
    Window().ChooseI2cPart(Window().I2cChoice()->findText("24C256"));
    EXPECT_EQ(Window().I2cSocketText(), "In the I2C socket: 24C256, 32768 bytes (the 24C16 is off the bus)");
    Window().LoadI2cPart();
    ASSERT_EQ(bench().I2cPart()->Memory()[299], static_cast<std::uint8_t>(299 & 0xFF));
    savePathAnswer = dir.filePath("part.bin");
    Window().SaveI2cPart();
    EXPECT_EQ(saveRequests.last(), "24c256.bin");
    EXPECT_EQ(QFileInfo(savePathAnswer).size(), 32768);
    Window().ChooseI2cPart(0);
    EXPECT_EQ(Window().I2cSocketText(), "The I2C socket is empty.");
    EXPECT_EQ(bench().I2cPart(), nullptr);
}

}  // namespace

// --- With the main window's features ------------------------------------------------

class BenchWindowWithMainWindow : public BenchWindowTest {
protected:
    void ChooseChipEntry(const QString& text) {
        QComboBox* list = dialog().Chip().m_chipList;
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << qPrintable(text);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    // Timer ticks of the bus monitor, each a whole pass; the recorder's log
    // is dropped so that long runs stay small.
    void Poll(int passes) {
        for (int i = 0; i < passes; ++i) {
            dialog().Monitor().OnPollTimer();
            recorder().log.clear();
        }
    }
};

TEST_F(BenchWindowWithMainWindow, BusHeldBusyHereMakesTheNextConsoleWriteFail) {
    dialog().Edit(ids::kSendAddress)->setText("40");
    dialog().Edit(ids::kSendSubAddress)->setText("05");
    dialog().Edit(ids::kSendData)->setText("33");
    dialog().Console().m_online->setChecked(true);
    Toggle("Bus held busy");
    Click(ids::kSend);
    EXPECT_EQ(messages, QStringList{"ERROR I2c"});
    EXPECT_EQ(bench().Register(0x40, 0x05), 0x00);

    messages.clear();
    Toggle("Bus held busy");
    Click(ids::kSend);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(bench().Register(0x40, 0x05), 0x33);
    Tick();
    EXPECT_EQ(Window().RegisterGrid(0x40)->State().Byte(0x05), 0x33);
    EXPECT_TRUE(Window().RegisterGrid(0x40)->State().Flashing(0x05));
}

TEST_F(BenchWindowWithMainWindow, AChipReadShowsTheSameBytesInBothWindows) {
    // A known dump put into the virtual chip here, read there.
    QByteArray dump(2048, '\0');
    for (int i = 0; i < dump.size(); ++i) dump[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    openPathAnswer = WriteFile("known.bin", dump);
    Window().LoadEeprom();
    Tick(kFlashTicks);  // the load's flash is over
    Click(ids::kNextPage);
    Click(ids::kReadEeprom);
    ASSERT_TRUE(messages.isEmpty()) << qPrintable(messages.join('|'));
    Tick();
    const ByteGridState& grid = Window().EepromGrid()->State();
    HexView* view = dialog().Chip().m_hexView;
    for (int offset = 0; offset < 256; ++offset) {
        const int at = 256 + offset;
        ASSERT_EQ(session().image[static_cast<std::size_t>(at)], static_cast<std::uint8_t>(dump[at])) << at;
        ASSERT_EQ(grid.Byte(static_cast<std::size_t>(at)), static_cast<std::uint8_t>(dump[at])) << at;
        ASSERT_EQ(view->item(view->FindOffset(offset))->text(),
                  HexView::ItemText(grid.Byte(static_cast<std::size_t>(at))))
            << at;
    }
    EXPECT_FALSE(grid.Flashing(256)) << "a read changes nothing in the chip";
}

TEST_F(BenchWindowWithMainWindow, ADacSliderMoveShowsTheNewVoltage) {
    Tick();
    EXPECT_FALSE(Window().Dac()->Present());
    ChooseChipEntry("M62358,M62359");
    ASSERT_NE(g_dacPanel, nullptr);
    // The user releases a slider (its channel is the one the frames address),
    // then moves it one step.
    const auto move = [](int channel, int value) {
        resources::TrackBar* slider = g_dacPanel->m_sliders[static_cast<std::size_t>(channel - 1)];
        QTest::mouseRelease(slider, Qt::LeftButton);
        slider->setValue(value - 1);
        QTest::keyClick(slider, Qt::Key_Right);
        ASSERT_EQ(slider->value(), value);
    };
    move(3, 0x80);
    Tick();
    EXPECT_TRUE(Window().Dac()->Present());
    EXPECT_EQ(Window().Dac()->Channel(3).value, 0x80);
    EXPECT_EQ(Window().Dac()->VoltsText(3), "2.51 V");
    EXPECT_EQ(Window().Dac()->VoltsText(1), "0.00 V");
    EXPECT_EQ(Window().SocketText(), "In the socket: M62358,M62359 (no memory; its outputs are below)");

    g_dacPanel->m_range->setCurrentIndex(3);  // 0-12 V
    move(12, 0xFF);
    Tick();
    EXPECT_EQ(Window().Dac()->VoltsText(12), "12.00 V");
    // Releasing slider 12 first sent channel 3 again, on the new range.
    EXPECT_EQ(Window().Dac()->VoltsText(3), "6.02 V");
}

TEST_F(BenchWindowWithMainWindow, TheDemoMasterPlaysWhileTheMonitorLogsIt) {
    bench().Bus().RecordWaveform(true);
    Window().TrafficButton(SimulatedBench::Traffic::Demo)->click();
    Click(ids::kMonitor);
    for (int i = 0; i < 400 && bench().TransfersPlayed() < 4; ++i) Poll(1);
    ASSERT_GE(bench().TransfersPlayed(), 4u);
    Tick();
    EXPECT_EQ(Window().MasterText(), QStringLiteral("Transfers played: %1").arg(bench().TransfersPlayed()));
    EXPECT_GT(dialog().Monitor().m_busLog->count(), 0);
    Click(ids::kMonitor);

    // What the demo put on the bus, as a waveform file.
    savePathAnswer = dir.filePath("demo.vcd");
    Window().Button("Export waveform...")->click();
    EXPECT_EQ(saveRequests.last(), "bench.vcd");
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.value(0));
    QFile saved(savePathAnswer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray vcd = saved.readAll();
    EXPECT_TRUE(vcd.contains("$var wire 1 ! scl $end")) << vcd.left(200).constData();
    EXPECT_GE(vcd.count("\n0\"\n"), 4) << "SDA falls at least at each transfer's START";
    EXPECT_TRUE(Window().NoteText().startsWith("Saved the bus waveform")) << qPrintable(Window().NoteText());
}

// Not a check: with MERLIX_SCREENSHOT_DIR set (run under a real display
// server), the main window and the bench window side by side while the demo
// master plays and the monitor logs it, saved as one picture of the screen.
TEST_F(BenchWindowTest, ScreenshotForReview) {
    const QByteArray dir = qgetenv("MERLIX_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "MERLIX_SCREENSHOT_DIR not set";
    dialog().move(0, 0);
    dialog().BenchWindowAction()->trigger();
    BenchWindow& window = Window();
    bench().SetChipListChoice("93C46 (8)");
    session().Parallel()->MicrowireRead(0, 6, 8);
    Window().TrafficButton(SimulatedBench::Traffic::Demo)->click();
    Click(ids::kMonitor);
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 3000 && bench().TransfersPlayed() < 12) QCoreApplication::processEvents();
    // A register device the demo writes, its fresh bytes flashing.
    window.findChild<QTabWidget*>()->setCurrentIndex(2);
    window.Refresh();
    QCoreApplication::processEvents();
    const QString path = QString::fromLocal8Bit(dir);
    EXPECT_TRUE(window.screen()->grabWindow(0).save(path + "/bench-side-by-side.png"));
    EXPECT_TRUE(window.grab().save(path + "/bench-window.png"));
    // The 24C16 at block AE, where the demo writes.
    window.findChild<QTabWidget*>()->setCurrentIndex(0);
    auto* block = window.findChild<QTabWidget*>()->widget(0)->findChild<QComboBox*>();
    block->setCurrentIndex(7);
    emit block->activated(7);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.grab().save(path + "/bench-window-24c16.png"));
}
