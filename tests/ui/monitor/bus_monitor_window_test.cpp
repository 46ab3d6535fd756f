// The bus monitor through the main window on the bench: start and stop, the
// device lines at start, the filter edit, the history combo, the replay into
// the image, and transfers too long for a line or for the image.
#include <signal.h>
#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <fstream>

#include "bus_monitor_support.h"
#include "eeprom/image.h"
#include "monitor/monitor_logic.h"
#include "support/i2c_samples.h"
#include "ui/monitor/analyzer_dialog.h"

namespace monitortest {
namespace {

using MonitorStartStop = MonitorWindow;

TEST_F(MonitorStartStop, TogglesTimerCaptionAndClearsTheLogAtStart) {
    Monitor({Write(0x40, {0x01, 0x02})});
    ASSERT_EQ(LogLines(), std::vector<std::string>{" W 40 01 02 "});
    EXPECT_EQ(Text(ids::kMonitor), "Monitor ON");
    EXPECT_FALSE(dialog().Monitor().m_pollTimer->isActive());
    EXPECT_EQ(Text(ids::kResetPcf), "PCF 8584 Ok") << "the stop probes again";

    StartMonitor();
    EXPECT_EQ(Text(ids::kMonitor), "Monitor OFF");
    EXPECT_TRUE(dialog().Monitor().m_pollTimer->isActive());
    EXPECT_EQ(dialog().Monitor().m_pollTimer->interval(), 5);
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(bench().MonitorSetupInForce());
    StopMonitor();
    EXPECT_FALSE(bench().MonitorSetupInForce());
}

TEST_F(MonitorStartStop, ResetDevPulsesTheDeviceOnceAndIsDisarmed) {
    Click(ids::kResetDev);
    ASSERT_TRUE(dialog().m_resetDev->isChecked());
    const std::uint64_t loads = bench().LatchLoads();
    recorder().log.clear();
    StartMonitor();
    EXPECT_FALSE(dialog().m_resetDev->isChecked());
    // Into the stop state and back: two loads, the stop state passing once.
    EXPECT_EQ(bench().LatchLoads() - loads, 2u);
    const std::vector<std::uint8_t> latch = testsupport::Outs(recorder(), 0x378);
    EXPECT_EQ(std::count(latch.begin(), latch.end(), 0xFE), 1);
    EXPECT_EQ(bench().Latch(), 0xFD);
    StopMonitor();

    // Disarmed: the next start leaves the device alone.
    const std::uint64_t later = bench().LatchLoads();
    StartMonitor();
    EXPECT_EQ(bench().LatchLoads(), later);
}

TEST_F(MonitorStartStop, StartReleasesAStoppedDevice) {
    Click(ids::kStopDev);
    ASSERT_EQ(bench().Latch(), 0xFE);
    StartMonitor();
    EXPECT_FALSE(dialog().m_stopDev->isChecked());
    EXPECT_EQ(bench().Latch(), 0xFD);
    EXPECT_EQ(session().Parallel()->Latch(), 0xFD);
    EXPECT_TRUE(bench().MonitorSetupInForce());
}

TEST_F(MonitorStartStop, StopDevClickedWhileRunningStopsTheMonitorFirst) {
    StartMonitor();
    Click(ids::kStopDev);
    EXPECT_EQ(session().monitorOn, 0);
    EXPECT_EQ(Text(ids::kMonitor), "Monitor ON");
    EXPECT_EQ(bench().Latch(), 0xFE);
}

TEST_F(MonitorStartStop, RunningMonitorStopsEvenAfterTheControllerWasLost) {
    StartMonitor();
    bench().SetControllerPresent(false);
    Click(ids::kResetPcf);
    ASSERT_EQ(session().controllerPresent, 0);
    StopMonitor();
    EXPECT_EQ(Text(ids::kMonitor), "Monitor ON");
    EXPECT_FALSE(dialog().Monitor().m_pollTimer->isActive());
    // Once stopped it stays stopped while there is no controller.
    Click(ids::kMonitor);
    EXPECT_EQ(session().monitorOn, 0);
}

class MonitorWithoutController : public MonitorWindow {
    void Configure(SimulatedBench::Config& config) override { config.controllerPresent = false; }
};

TEST_F(MonitorWithoutController, ButtonAndTimerDoNothing) {
    ASSERT_EQ(session().controllerPresent, 0);
    Click(ids::kResetDev);  // after "Not Found" the box keeps the click
    ASSERT_TRUE(dialog().m_resetDev->isChecked());
    recorder().log.clear();
    Click(ids::kMonitor);
    dialog().Monitor().OnPollTimer();
    EXPECT_EQ(session().monitorOn, 0);
    EXPECT_EQ(Text(ids::kMonitor), "Monitor ON");
    EXPECT_FALSE(dialog().Monitor().m_pollTimer->isActive());
    EXPECT_TRUE(dialog().m_resetDev->isChecked());
    EXPECT_TRUE(recorder().log.empty()) << "no port was touched";
}

// A logic analyzer watches without the controller: its lines reach the log
// and the image, and its end stops the monitor with a message box. The
// dialog refuses a wrong value and gives the settings of a right one.
TEST_F(MonitorWithoutController, ALogicAnalyzerWatchesInsteadAndItsEndIsSaid) {
    const std::string script = ::testing::TempDir() + "merlix-window-sigrok-cli";
    testsupport::I2cSamples bus;
    bus.Idle(10).Start().Byte(0xA0).Byte(0x10).Byte(0x55).Stop().Idle(10);
    testsupport::WriteFakeSigrok(script, 2'000'000, {bus.Bytes()},
                                 "sleep 0.1\necho 'sr: fx2lafw: USB device was unplugged' >&2\nexit 1");

    AnalyzerDialog choose(AnalyzerChoice{}, &dialog());
    choose.On()->setChecked(true);
    choose.Device()->setText(QStringLiteral("fx2lafw"));
    choose.Rate()->setText(QStringLiteral("fast"));
    choose.accept();
    EXPECT_NE(choose.result(), QDialog::Accepted);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("not 'fast'")));
    choose.Rate()->setText(QStringLiteral("2M"));
    choose.accept();
    ASSERT_EQ(choose.result(), QDialog::Accepted);
    monitor::AnalyzerSettings settings = choose.Settings();
    EXPECT_EQ(settings.rateHz, 2'000'000);
    settings.program = script;
    dialog().Monitor().UseAnalyzer(&settings);
    EXPECT_TRUE(dialog().Monitor().AnalyzerAction()->isChecked());

    StartMonitor();
    const pid_t child = dialog().Monitor().Analyzer()->ChildPid();
    for (int i = 0; i < 2000 && session().monitorOn; ++i) {
        dialog().Monitor().OnPollTimer();
        QThread::msleep(2);
    }
    EXPECT_EQ(session().monitorOn, 0);
    EXPECT_EQ(Text(ids::kMonitor), "Monitor ON");
    EXPECT_EQ(LogLines(), std::vector<std::string>{" W A0 10 55 "});
    EXPECT_EQ(session().image[0x10], 0x55);
    EXPECT_EQ(session().marks[0x10], kMarkSeen);
    EXPECT_EQ(messages.back(), "sigrok-cli stopped (exit status 1): sr: fx2lafw: USB device was unplugged");
    EXPECT_TRUE(child > 0 && ::kill(child, 0) != 0 && errno == ESRCH) << "the child was reaped";

    dialog().Monitor().UseAnalyzer(nullptr);
    EXPECT_EQ(session().sniffer, &*session().Parallel());
    EXPECT_FALSE(dialog().Monitor().AnalyzerAction()->isChecked());
    // The analyzer is gone; the transfers window still shows its log on the time it gave.
    dialog().Monitor().ShowTransfersWindow();
    EXPECT_EQ(dialog().Monitor().Transfers().Items().size(), 1u);
}

// The real sigrok-cli's demo device watched by the window: it runs until the
// monitor stops it, not ending by itself.
TEST_F(MonitorWithoutController, TheDemoAnalyzerRunsUntilTheMonitorStops) {
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        GTEST_SKIP() << "sigrok-cli is not installed (Debian package sigrok-cli)";
    monitor::AnalyzerSettings settings;
    settings.device = "demo";
    dialog().Monitor().UseAnalyzer(&settings);
    StartMonitor();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 3000 && session().monitorOn) {
        dialog().Monitor().OnPollTimer();
        QThread::msleep(5);
    }
    EXPECT_EQ(session().monitorOn, 1) << (messages.empty() ? "" : messages.back().toStdString());
    EXPECT_GT(dialog().Monitor().Analyzer()->SamplesDecoded(), 1'000'000u);
    Click(ids::kMonitor);
    EXPECT_EQ(session().monitorOn, 0);
    EXPECT_TRUE(messages.empty());
    dialog().Monitor().UseAnalyzer(nullptr);
}

// --- Filter ----------------------------------------------------------------------

using MonitorFilterEdit = MonitorWindow;

TEST_F(MonitorFilterEdit, AtStartAddressZeroIsHiddenAndOneLogged) {
    Monitor({Write(0x00, {0x06}), Write(0x01, {0x07})});
    EXPECT_EQ(LogLines(), std::vector<std::string>{" R 01 07 "});
}

TEST_F(MonitorFilterEdit, FilterSetOnLosingFocusHidesBothDirectionsAndWholeTransfers) {
    TypeInto(ids::kFilter, "a1");
    Focus(dialog().Edit(ids::kRemarkText));
    EXPECT_EQ(Text(ids::kFilter), "A1");
    EXPECT_EQ(session().filterRead, 0xA1);
    EXPECT_EQ(session().filterWrite, 0xA0);

    Monitor({
        Write(0xA0, {0x10, 0x55}),
        Write(0xA1, {0x33}),
        // The filter address only in the repeated start: hidden all the same.
        {Start(), Byte(0xA2), Byte(0x10), Restart(), Byte(0xA1), Byte(0x22, false), Stop()},
        {Start(), Byte(0xA2), Byte(0x10), Restart(), Byte(0xA3), Byte(0x22, false), Stop()},
        Write(0x00, {0x06}),  // the filter replaced the start value
    });
    EXPECT_EQ(LogLines(), (std::vector<std::string>{" W A2 10  R A3 22  ; ", " W 00 06 "}));
}

// --- History ---------------------------------------------------------------------

using MonitorHistory = MonitorWindow;

TEST_F(MonitorHistory, NeverMoreThanAHundredEntries) {
    std::vector<BusTransfer> transfers;
    for (int i = 0; i < 120; ++i) transfers.push_back(Write(0x40, {static_cast<std::uint8_t>(i)}));
    Monitor(transfers);
    ASSERT_EQ(LogLines().size(), 120u);
    const std::vector<std::string> history = History();
    ASSERT_EQ(history.size(), 100u);
    // The start entry and the oldest lines made room; the newest stayed, in order.
    EXPECT_EQ(history.front(), " W 40 14 ");
    EXPECT_EQ(history.back(), " W 40 77 ");
}

TEST_F(MonitorHistory, LineAlreadyBeginningAnEntryIsNotAddedIgnoringCase) {
    dialog().Monitor().m_logHistory->addItem(" w 40 0a 0b ff ");
    Monitor({Write(0x40, {0x0A, 0x0B}), Write(0x40, {0x0A}), Write(0x40, {0x0A, 0x0B, 0xFF, 0x00}),
             Write(0x40, {0x0A, 0x0B})});
    EXPECT_EQ(History(), (std::vector<std::string>{"", " w 40 0a 0b ff ", " W 40 0A 0B FF 00 "}));

    // The same traffic again adds nothing.
    Monitor({Write(0x40, {0x0A, 0x0B, 0xFF, 0x00})});
    EXPECT_EQ(History().size(), 3u);
}

// --- Replay into the image -----------------------------------------------------------

using MonitorReplay = MonitorWindow;

TEST_F(MonitorReplay, EepromWriteSetsPageDeviceAndGreenBytes) {
    Monitor({Write(0xA2, {0x10, 0x11, 0x22})});
    ASSERT_EQ(LogLines(), std::vector<std::string>{" W A2 10 11 22 "});
    EXPECT_EQ(dialog().m_page, 1);
    EXPECT_EQ(Text(ids::kPage), "1");
    EXPECT_EQ(Text(ids::kDeviceAddress), "A3");
    EXPECT_EQ(session().image[272], 0x11);
    EXPECT_EQ(session().image[273], 0x22);
    EXPECT_EQ(session().marks[272], kMarkSeen);
    EXPECT_EQ(session().marks[273], kMarkSeen);
    EXPECT_EQ(std::count(session().marks.begin(), session().marks.end(), kMarkSeen), 2);
    // The hex view shows page 1 with the two bytes green.
    EXPECT_EQ(dialog().Chip().HexMarkColour(0x10), QColor::fromRgb(kMarkColourSeen));
    EXPECT_EQ(dialog().Chip().HexMarkColour(0x12), QColor());
}

TEST_F(MonitorReplay, BytesPastTheImageEndAreNotStored) {
    std::vector<std::uint8_t> bytes{0xF0};
    for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<std::uint8_t>(0x80 + i));
    Monitor({Write(0xAE, bytes)});
    EXPECT_EQ(dialog().m_page, 7);
    EXPECT_EQ(Text(ids::kDeviceAddress), "AF");
    EXPECT_EQ(session().image[2032], 0x80);
    EXPECT_EQ(session().image[2047], 0x8F);
    EXPECT_EQ(std::count(session().marks.begin(), session().marks.end(), kMarkSeen), 16);
    EXPECT_TRUE(std::all_of(session().image.begin(), session().image.begin() + 2032,
                            [](std::uint8_t b) { return b == 0; }));
}

TEST_F(MonitorReplay, OverlongTransferIsCutAtTheLineLimitAndCaptureStaysInStep) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 600; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
    Monitor({Write(0xA0, bytes), Write(0x40, {0x01})});
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(static_cast<int>(lines[0].size()), kMaxLogLineLength);
    EXPECT_TRUE(lines[0].starts_with(" W A0 00 01 02 "));
    EXPECT_TRUE(lines[0].ends_with(" 49 4A "));  // bytes 0 to 330 after the address
    EXPECT_EQ(lines[1], " W 40 01 ");
    // The cut line still replays as far as it goes: word address 0, then 330 bytes.
    EXPECT_EQ(session().image[0], 0x01);
    EXPECT_EQ(session().image[254], 0xFF);
    EXPECT_EQ(session().image[329], 0x4A);
    EXPECT_EQ(session().image[330], 0x00);
    EXPECT_EQ(std::count(session().marks.begin(), session().marks.end(), kMarkSeen), 330);
}

}  // namespace
}  // namespace monitortest
