// The live logic analyzer against a stand-in for sigrok-cli (a shell script
// the test writes): samples that come slowly and split across reads, the
// analyzer's own times, the one sentence when it dies or is missing, and no
// child left behind whichever way it ends.
#include "monitor/live_analyzer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "monitor/monitor_clock.h"
#include "monitor/monitor_logic.h"
#include "support/i2c_samples.h"

namespace {

namespace fs = std::filesystem;

// A script named sigrok-cli in a folder of its own.
std::string FakeAnalyzer(const std::string& test, const std::string& body) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("merlix-analyzer-" + test);
    fs::create_directories(dir);
    const fs::path script = dir / "sigrok-cli";
    std::ofstream(script) << "#!/bin/sh\n" << body;
    fs::permissions(script, fs::perms::owner_all);
    return script.string();
}

bool Gone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

struct Seen {
    std::vector<std::string> lines;
    std::vector<std::int64_t> times;
    pid_t child = -1;
};

// The monitor as both faces run it, until the analyzer stops by itself (or
// ten seconds pass, which fails the test).
Seen Watch(monitor::LiveAnalyzer& analyzer) {
    Seen seen;
    monitor::MonitorClock clock(analyzer);
    monitor::StartMonitor(analyzer);
    seen.child = analyzer.ChildPid();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (analyzer.Trouble().empty() && !analyzer.Finished() && std::chrono::steady_clock::now() < end) {
        monitor::MonitorPass(
            analyzer, 0, 0, [&](std::string_view line) { seen.lines.emplace_back(line); },
            [&](const hardware::TransferBuffer&) { seen.times.push_back(clock.NowUs()); });
        analyzer.SleepMs(5);
    }
    monitor::StopMonitor(analyzer);
    return seen;
}

TEST(LiveAnalyzer, SlowSamplesBecomeTransfersAtTheirStartTimesThenTheDeathIsSaid) {
    monitor::AnalyzerSettings settings;
    settings.device = "fx2lafw";
    settings.rateHz = 2'000'000;  // sample 2000 is 1 ms in
    // A write, a write-then-read with a repeated START, a NACKed address,
    // the stream cut inside transfers; then the analyzer dies.
    testsupport::I2cSamples bus;
    bus.Idle(2000).Start().Byte(0xA0).Byte(0x10).Stop();
    bus.Idle(static_cast<int>(4000 - bus.Bytes().size())).Start().Byte(0xA0).Byte(0x20);
    bus.Start().Byte(0xA1).Byte(0x5A, false).Stop();
    bus.Idle(static_cast<int>(6000 - bus.Bytes().size())).Start().Byte(0xA5, false).Stop().Idle(5);
    const std::string& all = bus.Bytes();
    const std::string script = FakeAnalyzer("slow", "");
    testsupport::WriteFakeSigrok(script, 2'000'000,
                                 {all.substr(0, 2050), all.substr(2050, 2061), all.substr(4111)},
                                 "sleep 0.1\necho 'libusb: transfer error' >&2\n"
                                 "echo 'sr: fx2lafw: USB device was unplugged' >&2\nexit 1");
    settings.program = script;
    monitor::LiveAnalyzer analyzer(settings);
    const Seen seen = Watch(analyzer);
    EXPECT_EQ(seen.lines, (std::vector<std::string>{" W A0 10 ", " W A0 20  R A1 5A  ; ", " R A5 "}));
    EXPECT_EQ(seen.times, (std::vector<std::int64_t>{1000, 2000, 3000}));
    EXPECT_EQ(analyzer.Trouble(),
              "sigrok-cli stopped (exit status 1): sr: fx2lafw: USB device was unplugged");
    ASSERT_GT(seen.child, 0);
    EXPECT_TRUE(Gone(seen.child)) << "the child was reaped";
}

TEST(LiveAnalyzer, SaysWhatIsMissingAndNeverLeavesAChild) {
    monitor::AnalyzerSettings settings;
    settings.device = "fx2lafw";
    settings.program = "/nonexistent/sigrok-cli";
    monitor::LiveAnalyzer missing(settings);
    EXPECT_TRUE(Watch(missing).lines.empty());
    EXPECT_EQ(missing.Trouble(),
              "sigrok-cli is not installed; the logic analyzer needs it: sudo apt install sigrok-cli");

    settings.program = FakeAnalyzer("none", "sleep 0.05\necho 'No devices found.' >&2\nexit 1\n");
    monitor::LiveAnalyzer unplugged(settings);
    Watch(unplugged);
    EXPECT_EQ(
        unplugged.Trouble(),
        "No fx2lafw logic analyzer was found: plug it in, and check that the udev rules of the libsigrok "
        "package let you use it (sigrok-cli said: No devices found.)");

    // A bus stuck in one transfer: cut where the PCF8584's capture ends, the
    // rest skipped up to the next START. Its bytes are a logged address
    // (A2), so a rest taken for transfers of their own would show.
    testsupport::I2cSamples stuckBus;
    stuckBus.Idle(10).Start().Byte(0xA0);
    for (int i = 0; i < 9000; ++i) stuckBus.Byte(0xA2);
    stuckBus.Start().Byte(0xA4).Stop();
    settings.program = FakeAnalyzer("stuck", "");
    testsupport::WriteFakeSigrok(settings.program, 1'000'000, {stuckBus.Bytes()}, "");
    monitor::LiveAnalyzer stuck(settings);
    const Seen cut = Watch(stuck);
    ASSERT_EQ(cut.lines.size(), 2u);
    EXPECT_EQ(cut.lines[0].size(), static_cast<std::size_t>(monitor::kMaxLogLineLength));
    EXPECT_EQ(cut.lines[0].substr(0, 10), " W A0 A2 A");
    EXPECT_EQ(cut.lines[1], " W A4 ");
    EXPECT_EQ(stuck.Trouble(), "sigrok-cli stopped (exit status 0)")
        << "a continuous capture never ends well";

    // One that runs on until the monitor stops, with a child of its own.
    settings.program = FakeAnalyzer("forever", "");
    testsupport::WriteFakeSigrok(settings.program, 1'000'000, {}, "while :; do sleep 1; done",
                                 "sleep 60 &\necho $! >&2");
    pid_t child = -1;
    {
        monitor::LiveAnalyzer forever(settings);
        monitor::StartMonitor(forever);
        child = forever.ChildPid();
        ASSERT_GT(child, 0);
        monitor::MonitorPass(forever, 0, 0, {});
        EXPECT_EQ(forever.Trouble(), "");
        EXPECT_FALSE(Gone(child));
        // The destructor ends it as StopMonitor would.
    }
    EXPECT_TRUE(Gone(child));
}

}  // namespace
