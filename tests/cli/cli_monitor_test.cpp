// merlix-cli monitor end to end: the bench's captures, the user's seconds, and
// a logic analyzer through a stand-in and the real sigrok-cli.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <string>
#include <vector>

#include "eeprom/session.h"
#include "hardware/port_adapter.h"
#include "monitor/monitor_logic.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/simulated_bench.h"
#include "support/i2c_samples.h"
#include "tests/cli/cli_fixture.h"

namespace {

// The monitor prints what the window's timer passes log, line for line.
TEST_F(MerlixCli, MonitorPrintsTheWindowsLinesForARealCapture) {
    const std::string capture = MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt";
    std::vector<std::string> expected;
    {
        platform::VirtualCounter clock;
        simulator::SimulatedBench::Config config;
        config.traffic = simulator::SimulatedBench::Traffic::Capture;
        config.captureFile = capture;
        simulator::SimulatedBench bench(clock, config);
        {
            eeprom::Session session(bench, clock);
            session.Parallel()->SetBase(hardware::kLpt1);
            session.Parallel()->ConfigurePort();
            session.Parallel()->ResetAdapter(0, 0xFD);
            session.Parallel()->InitController();
            for (int pass = 0; pass < 200; ++pass) {
                session.Parallel()->ResetAdapter(0, session.Parallel()->Latch());
                session.Parallel()->InitController();
                monitor::CapturePass(*session.Parallel(), monitor::kPollReads, 0, 0,
                                     [&](std::string_view line) { expected.emplace_back(line); });
                clock.SleepMs(5);
            }
        }
    }
    ASSERT_EQ(expected.size(), 10u);  // one line per transfer in the capture
    const Outcome run = Cli({"--traffic", QString::fromStdString(capture), "monitor", "--count",
                             QString::number(expected.size())});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    std::vector<std::string> lines;
    for (const QByteArray& line : run.out.split('\n'))
        if (!line.isEmpty()) lines.push_back(line.toStdString());
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(run.err.contains(QString("monitor stopped: %1 lines logged").arg(expected.size())))
        << run.err.toStdString();

    // The same transfers as capture text play back as the same lines, and
    // as CSV make one row each under a header.
    const Outcome text = Cli({"--traffic", QString::fromStdString(capture), "monitor", "--count",
                              QString::number(expected.size()), "--format", "text"});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    const Outcome replay = Cli({"--traffic", Write("seen.i2c.txt", text.out), "monitor", "--count",
                                QString::number(expected.size())});
    EXPECT_EQ(replay.out, run.out);
    const Outcome csv = Cli({"--traffic", QString::fromStdString(capture), "monitor", "--count",
                             QString::number(expected.size()), "--format", "csv"});
    EXPECT_TRUE(csv.out.startsWith("index,time_s,address7"));
    EXPECT_EQ(csv.out.count('\n'), static_cast<int>(expected.size()) + 1);
}

// --seconds is the user's time, though the bench's own clock runs far ahead;
// a capture that ends before --count ends the monitor, which says so.
TEST_F(MerlixCli, MonitorStopsOnTheUsersSecondsAndWhenTheCaptureEnds) {
    QElapsedTimer timer;
    timer.start();
    const Outcome timed = Cli({"monitor", "--seconds", "1"});
    EXPECT_EQ(timed.code, 0) << timed.err.toStdString();
    EXPECT_GE(timer.elapsed(), 1000);

    const Outcome ended = Cli(
        {"--traffic", MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt", "monitor", "--count", "1000"});
    EXPECT_EQ(ended.code, 0);
    EXPECT_EQ(ended.out.count('\n'), 10);
    EXPECT_TRUE(ended.err.contains("the capture ended after 10 lines, before the 1000 of --count"))
        << ended.err.toStdString();
}

// A logic analyzer watches the bus whatever the adapter (its options given
// after the sub-command): its lines come out as the monitor's, and when it
// dies or cannot be found, one sentence and exit 1. sigrok-cli is a script
// here that says what a real one says.
TEST_F(MerlixCli, MonitorThroughALogicAnalyzerSaysWhyItStopped) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("bin"));
    pathFirst = dir.filePath("bin");
    const std::string script = dir.filePath("bin/sigrok-cli").toStdString();
    testsupport::I2cSamples bus(2, 3);  // D2, D3
    bus.Idle(10).Start().Byte(0xA0).Byte(0x10, false).Stop().Idle(10);
    testsupport::WriteFakeSigrok(script, 2'000'000, {bus.Bytes()},
                                 "sleep 0.2\necho 'sr: fx2lafw: USB device was unplugged' >&2\nexit 1",
                                 "echo \"$@\" > " + dir.filePath("argv").toStdString());
    const Outcome died = Cli({"--bench-adapter", "i2c-dev", "monitor", "--analyzer", "fx2lafw:conn=1.7",
                              "--analyzer-pins", "scl=D2,sda=D3", "--analyzer-rate", "2M"});
    EXPECT_EQ(died.code, 1);
    EXPECT_EQ(died.out, " W A0 10  ; \n");
    EXPECT_TRUE(
        died.err.contains("merlix-cli: sigrok-cli stopped (exit status 1): sr: fx2lafw: USB device was "
                          "unplugged"))
        << died.err.toStdString();
    EXPECT_EQ(Read("argv"), "-d fx2lafw:conn=1.7 --continuous -c samplerate=2000000 -C D2,D3 -O binary\n")
        << Read("argv").toStdString();

    const auto analyzer = [&](const QByteArray& body) {
        QFile file(dir.filePath("bin/sigrok-cli"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    analyzer("echo 'No devices found.' >&2\nexit 1\n");
    const Outcome none = Cli({"--analyzer", "fx2lafw", "monitor"});
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains("No fx2lafw logic analyzer was found: plug it in"))
        << none.err.toStdString();
}

// The real sigrok-cli: its demo device runs for the seconds asked (our own
// standard input closed, its own a pipe we keep), and a recorded capture
// plays to its end, as fast as it decodes or at its own pace.
TEST_F(MerlixCli, MonitorThroughTheRealSigrokCli) {
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        GTEST_SKIP() << "sigrok-cli is not installed (Debian package sigrok-cli)";
    QElapsedTimer timer;
    timer.start();
    const Outcome demo =
        Cli({"--bench-adapter", "i2c-dev", "monitor", "--analyzer", "demo", "--seconds", "3"});
    EXPECT_EQ(demo.code, 0) << demo.err.toStdString();
    EXPECT_GE(timer.elapsed(), 3000);
    EXPECT_TRUE(demo.err.contains("monitor stopped")) << demo.err.toStdString();

    const QStringList file{"monitor", "--analyzer-file",
                           MERLIX_TEST_DATA_DIR "/analyzer-captures/rtc_ds1307_200khz.sr", "--analyzer-pins",
                           "scl=SCL,sda=SDA"};
    const Outcome fast = Cli(file);
    timer.restart();
    const Outcome paced = Cli(file + QStringList{"--realtime"});
    EXPECT_GE(timer.elapsed(), 120) << "24,576 samples at 200 kHz take 123 ms";
    EXPECT_EQ(fast.code, 0);
    EXPECT_EQ(paced.code, 0);
    EXPECT_TRUE(fast.err.contains("the capture ended after 7 lines")) << fast.err.toStdString();
    EXPECT_EQ(fast.out, QByteArray(" W D0 00  R D1 30 35 23 01 10 03 13  ; \n").repeated(7));
    EXPECT_EQ(paced.out, fast.out);
}

}  // namespace
