// Start-up: the command line, the backend it opens, the caption mark and
// the trace of the port choice.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <csignal>

#include "hardware/port_adapter.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"
#include "ui/main/tool_app.h"
#include "ui/main/ui_seams.h"

using namespace ui;

namespace {

using Port = simulator::SimulatedBench::Port;

// The window's session on the backend, as the program builds it.
std::unique_ptr<eeprom::Session> SessionOn(const AdapterBackend& backend) { return backend.NewSession(); }

StartupOptions Parse(QStringList args, bool expectOk = true) {
    args.prepend("merlix");
    StartupOptions options;
    QString error;
    EXPECT_EQ(ParseCommandLine(args, options, error), expectOk) << error.toStdString();
    return options;
}

TEST(CommandLine, BenchTakesAnOptionalPort) {
    EXPECT_FALSE(Parse({}).adapter.bench || Parse({}).adapter.choice.adapter);
    StartupOptions bare = Parse({"--bench"});
    EXPECT_TRUE(bare.adapter.bench);
    EXPECT_EQ(bare.adapter.benchPort, Port::Lpt1);
    EXPECT_EQ(Parse({"--bench=lpt2"}).adapter.benchPort, Port::Lpt2);
    EXPECT_EQ(Parse({"--bench", "none"}).adapter.benchPort, Port::None);
    EXPECT_EQ(Parse({"--bench", "--trace", "t.txt"}).adapter.traceFile, "t.txt");
    Parse({"--bench=lpt3"}, false);
}

TEST(CommandLine, ReadsEveryOptionAndRefusesContradictions) {
    const StartupOptions all =
        Parse({"--bench=lpt2", "--trace", "t.txt", "--traffic", "cap.txt", "--bench-chip", "93C46 (8)",
               "--bench-window", "--transfers-window", "--bench-vcd", "bus.vcd", "--programmer", "--analyzer",
               "fx2lafw", "--analyzer-rate", "4M"});
    EXPECT_EQ(all.adapter.traceFile, "t.txt");
    ASSERT_TRUE(all.analyzer);
    EXPECT_EQ(all.analyzer->device, "fx2lafw");
    EXPECT_EQ(all.analyzer->rateHz, 4'000'000);
    EXPECT_FALSE(Parse({"--bench"}).analyzer);
    EXPECT_EQ(all.adapter.benchVcdFile, "bus.vcd");
    EXPECT_EQ(all.adapter.trafficFile, "cap.txt");
    EXPECT_EQ(all.adapter.benchChip, "93C46 (8)");
    EXPECT_TRUE(all.benchWindow);
    EXPECT_TRUE(all.transfersWindow);
    EXPECT_TRUE(all.programmerWindow);
    EXPECT_EQ(Parse({"--direct"}).adapter.choice.mode, "direct");
    const StartupOptions ppdev = Parse({"--ppdev", "/dev/parport0,/dev/parport1"});
    EXPECT_EQ(ppdev.adapter.choice.mode, "ppdev");
    EXPECT_EQ(ppdev.adapter.choice.path, "/dev/parport0,/dev/parport1");
    EXPECT_TRUE(Parse({"--bench", "--bench-fault", "Slave-Nack,slow-parts"}).adapter.faults.slaveNack);
    Parse({"--bench-fault", "smoke"}, false);
    EXPECT_TRUE(Parse({"--check-ports"}).checkPorts);
    StartupOptions options;
    QString error;
    EXPECT_FALSE(ParseCommandLine({"merlix", "--check-ports", "--bench", "--trace", "t"}, options, error));
    EXPECT_EQ(error, "--check-ports surveys this machine's own ports and takes no --bench, --trace");
    EXPECT_TRUE(Parse({"--help"}).help);
    Parse({"--bench", "--direct"}, false);
    Parse({"--ppdev", "a,b,c"}, false);
    Parse({"--frobnicate"}, false);
    Parse({"stray"}, false);
    EXPECT_TRUE(CommandLineHelp().contains("--bench[=PORT]"));
    EXPECT_TRUE(CommandLineHelp().contains("--trace <FILE>"));
}

TEST(CommandLine, RefusesEmptyValuesAndUnknownChipsWhateverTheirCase) {
    for (const char* option :
         {"--traffic", "--trace", "--ppdev", "--bench-chip", "--bench-vcd", "--analyzer"}) {
        SCOPED_TRACE(option);
        Parse({option, ""}, false);
    }
    EXPECT_EQ(Parse({"--bench", "--bench-chip", "93c46 (8)"}).adapter.benchChip, "93C46 (8)");
    EXPECT_EQ(Parse({"--bench", "--bench-chip", "m62358,m62359"}).adapter.benchChip, "M62358,M62359");
    // A part by name goes into its socket (a 24Cxx into the I2C socket); a 93Cxx as merlix-cli chips
    // prints it, or bare (its ORG strap decides), into the serial socket.
    EXPECT_EQ(Parse({"--bench", "--bench-chip", "24c256"}).adapter.benchChip, "24C256");
    EXPECT_EQ(Parse({"--bench", "--bench-chip", "93C66x16"}).adapter.benchChip, "93C66 (16)");
    EXPECT_EQ(Parse({"--bench", "--bench-chip", "93c46"}).adapter.benchChip, "93C46 (8)");
    StartupOptions options;
    QString error;
    EXPECT_FALSE(ParseCommandLine({"merlix", "--bench", "--bench-chip", "93C47"}, options, error));
    for (const char* named : {"'93C47'", "'93C06 (8)'", "'93C86 (16)'", "'M62358,M62359'", "'AT25C160'"})
        EXPECT_TRUE(error.contains(named)) << named << " in " << error.toStdString();
}

class StartupBackend : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        previousSeams_ = InstallUiSeams({[this](const QString& text) { messages << text; },
                                         {},
                                         {},
                                         [this](const QString& text) { errors << text; }});
    }
    void TearDown() override {
        InstallUiSeams(previousSeams_);
        ResetAppState();
    }
    QStringList messages;  // ShowMessage texts
    QStringList errors;    // ShowError texts
    UiSeams previousSeams_;
};

TEST_F(StartupBackend, BenchIsActiveForItsLifetimeAndMarksTheCaption) {
    {
        AdapterBackend backend;
        QString error;
        ASSERT_TRUE(backend.Open(Parse({"--bench=lpt2"}), error)) << error.toStdString();
        EXPECT_TRUE(backend.OnBench());
        EXPECT_EQ(ActiveBench(), backend.Bench());
        EXPECT_EQ(&backend.Io(), backend.Bench());
        EXPECT_EQ(backend.Bench()->config().port, Port::Lpt2);
        EXPECT_TRUE(backend.BenchNotice().contains("simulated bench"));
        EXPECT_TRUE(backend.BenchNotice().contains("LPT2"));
        EXPECT_EQ(BenchCaptionMark(), "  [simulated bench]");
        MainDialog window(nullptr, SessionOn(backend));
        window.setWindowTitle(window.windowTitle() + BenchCaptionMark());
        EXPECT_EQ(window.windowTitle(), "MERLIX   ver4.22  [simulated bench]");
        EXPECT_EQ(window.Button(ids::kResetPcf)->text(), "PCF 8584 Ok");
    }
    EXPECT_EQ(ActiveBench(), nullptr);
    EXPECT_EQ(BenchCaptionMark(), "");
}

TEST_F(StartupBackend, WithoutAPortTheProgramRunsOnTheBenchAndSaysWhy) {
    AdapterBackend backend;
    QString error;
    ASSERT_TRUE(backend.Open(Parse({}), error)) << error.toStdString();
    if (!backend.OnBench()) GTEST_SKIP() << "this machine has a parallel port the tests may use";
    EXPECT_EQ(backend.Bench()->config().port, Port::Lpt1);
    EXPECT_TRUE(backend.BenchNotice().startsWith("running on the simulated bench"));
    EXPECT_FALSE(backend.BenchNotice().contains('\n'));
    EXPECT_EQ(BenchCaptionMark(), "  [simulated bench]");
}

TEST_F(StartupBackend, CounterCheckSpeaksThroughTheMessageBoxOnceTheWindowCan) {
    platform::VirtualCounter broken;
    broken.SetFrequencyFails(true);
    platform::NullPortIo nothing;
    { hardware::PortAdapter adapter(nothing, broken, WindowCounterErrors()); }
    EXPECT_EQ(errors, QStringList({"Error: MB doesnot support QPC"}));
    EXPECT_TRUE(messages.isEmpty());
    // The box itself: the error caption and icon, and no owner window.
    const auto box = MakeErrorBox(errors.front());
    EXPECT_EQ(box->windowTitle(), "Error");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->text(), "Error: MB doesnot support QPC");
}

TEST_F(StartupBackend, AnUnwritableTraceOrUnreadableCaptureIsAnError) {
    QString error;
    AdapterBackend trace;
    EXPECT_FALSE(trace.Open(Parse({"--bench", "--trace", "/nonexistent/dir/t.txt"}), error));
    EXPECT_FALSE(error.isEmpty());
    AdapterBackend traffic;
    EXPECT_FALSE(traffic.Open(Parse({"--bench", "--traffic", "/nonexistent/capture.txt"}), error));
    EXPECT_EQ(error, "cannot open the capture file /nonexistent/capture.txt: No such file or directory");

    // Played and traced at once, the capture would be read, then wiped.
    QTemporaryDir dir;
    const QString capture = dir.filePath("capture.txt");
    const QByteArray text = "Start\nAddress write: 50\nACK\nStop\n";
    {
        QFile file(capture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    AdapterBackend both;
    EXPECT_FALSE(both.Open(Parse({"--bench", "--traffic", capture, "--trace", capture}), error));
    EXPECT_TRUE(error.contains("capture file being played")) << error.toStdString();
    QFile file(capture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), text);
}

TEST_F(StartupBackend, AFailedTraceWriteIsReportedOnceAndTheProgramGoesOn) {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    AdapterBackend backend;
    QString error;
    ASSERT_TRUE(backend.Open(Parse({"--bench", "--trace", path}), error)) << error.toStdString();

    // A disk that fills after a few lines: the kernel refuses bytes past a
    // file size limit, as it would on a full disk.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    {
        MainDialog window(nullptr, SessionOn(backend));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_EQ(window.Button(ids::kResetPcf)->text(), "PCF 8584 Ok");
        QCoreApplication::processEvents();
        window.Button(ids::kResetPcf)->click();
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(messages.size(), 1) << messages.join('|').toStdString();
    EXPECT_TRUE(messages[0].contains(path)) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith("; tracing stopped.")) << messages[0].toStdString();
}

TEST_F(StartupBackend, TraceShowsTheProbeOnLpt1ThenLpt2) {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    {
        AdapterBackend backend;
        QString error;
        ASSERT_TRUE(backend.Open(Parse({"--bench=lpt2", "--trace", path}), error)) << error.toStdString();
        MainDialog window(nullptr, SessionOn(backend));
        EXPECT_TRUE(window.Control<QAbstractButton>(ids::kLpt2)->isChecked());
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    // Port configured for LPT1 (index 1 := 0x96), the controller's presence
    // probe (S0 := 0x55 and read back) fails there; then LPT2 (0x97) answers.
    const int lpt1Config = lines.indexOf("out 03F1 96");
    const int lpt1Probe = lines.indexOf("in 037C FF");
    const int lpt2Config = lines.indexOf("out 03F1 97");
    const int lpt2Probe = lines.indexOf("in 027C 55");
    ASSERT_GE(lpt1Config, 0);
    EXPECT_LT(lpt1Config, lpt1Probe);
    EXPECT_LT(lpt1Probe, lpt2Config);
    EXPECT_LT(lpt2Config, lpt2Probe);
    // Two answered resets on LPT2, then the last reset of the start-up.
    EXPECT_EQ(lines.filter("in 027C 55").size(), 3);
    EXPECT_TRUE(lines.first().startsWith("out 03F0"));
}

}  // namespace
