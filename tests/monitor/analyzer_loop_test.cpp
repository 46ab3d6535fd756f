// The loop closed: traffic on the bench's bus, logged by the parallel
// adapter's own monitor (the PCF8584 listening), and the same traffic as the
// bench's SCL/SDA waveform decoded by the real sigrok-cli through the live
// analyzer, must give the same log lines in the same order. That checks the
// waveform, the decoder-text parser and the records the analyzer makes
// against the reference I2C decoder at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "eeprom/session.h"
#include "hardware/bench_support.h"
#include "monitor/live_analyzer.h"
#include "monitor/monitor_logic.h"
#include "platform/counter.h"
#include "simulator/bus_waveform.h"
#include "simulator/simulated_bench.h"

namespace {

using benchtest::Byte;
using benchtest::Restart;
using benchtest::Start;
using benchtest::Stop;

TEST(AnalyzerLoop, SigrokDecodingTheBenchWaveformGivesTheBenchMonitorsLines) {
    platform::VirtualCounter clock;
    simulator::SimulatedBench bench(clock, {});
    bench.Bus().RecordWaveform(true);
    // Register writes, a 24C16 page read (word address, repeated START, 16
    // bytes, the last not acknowledged), an address no device answers, and
    // an EEPROM page write.
    simulator::BusTransfer pageRead{Start(), Byte(0xA6), Byte(0x10), Restart(), Byte(0xA7)};
    for (int i = 0; i < 16; ++i) pageRead.push_back(Byte(static_cast<std::uint8_t>(0x11 * i + 3), i < 15));
    pageRead.push_back(Stop());
    const std::vector<simulator::BusTransfer> traffic{
        {Start(), Byte(0x40), Byte(0x05), Byte(0x5A), Stop()},
        {Start(), Byte(0x42), Byte(0x01), Byte(0x02), Byte(0x03), Stop()},
        pageRead,
        {Start(), Byte(0x3A, false), Stop()},
        {Start(), Byte(0xA0), Byte(0x20), Byte(0xDE), Byte(0xAD), Byte(0xBE), Byte(0xEF), Stop()},
    };
    for (const simulator::BusTransfer& transfer : traffic) bench.QueueTransfer(transfer);

    std::vector<std::string> benchLines;
    {
        eeprom::Session session(bench, clock);
        session.Parallel()->SetBase(hardware::kLpt1);
        session.Parallel()->ConfigurePort();
        session.Parallel()->ResetAdapter(0, 0xFD);
        monitor::StartMonitor(*session.Parallel());
        for (int pass = 0; pass < 50 && bench.TransfersPlayed() < traffic.size(); ++pass) {
            monitor::MonitorPass(*session.Parallel(), 0, 0,
                                 [&](std::string_view line) { benchLines.emplace_back(line); });
            clock.SleepMs(5);
        }
        monitor::StopMonitor(*session.Parallel());
    }
    ASSERT_EQ(benchLines.size(), traffic.size());

    const simulator::BusWaveform* waveform = bench.Bus().Waveform();
    ASSERT_NE(waveform, nullptr);
    const std::string vcd = ::testing::TempDir() + "merlix-analyzer-loop.vcd";
    std::ofstream(vcd) << simulator::VcdText(*waveform);

    monitor::AnalyzerSettings settings;
    settings.inputFile = vcd;
    settings.inputFormat = "vcd";
    settings.scl = "scl";
    settings.sda = "sda";
    settings.rateHz = 10'000'000;  // the VCD's 100 ns timescale
    monitor::LiveAnalyzer analyzer(settings);
    std::vector<std::string> analyzerLines;
    monitor::StartMonitor(analyzer);
    if (analyzer.Trouble().find("not installed") != std::string::npos)
        GTEST_SKIP() << "sigrok-cli is not installed (Debian package sigrok-cli): the loop needs the "
                        "reference decoder";
    for (int pass = 0; pass < 4000 && !analyzer.Finished() && analyzer.Trouble().empty(); ++pass) {
        monitor::MonitorPass(analyzer, 0, 0,
                             [&](std::string_view line) { analyzerLines.emplace_back(line); });
        analyzer.SleepMs(5);
    }
    monitor::StopMonitor(analyzer);
    EXPECT_EQ(analyzer.Trouble(), "");
    EXPECT_TRUE(analyzer.Finished());
    EXPECT_EQ(analyzerLines, benchLines);

    // For the record: both columns side by side.
    const auto quoted = [](const std::vector<std::string>& lines, std::size_t i) {
        return i < lines.size() ? "\"" + lines[i] + "\"" : std::string();
    };
    std::printf("%-72s | %s\n", "the bench's own monitor (PCF8584)",
                "sigrok-cli on the bench's VCD, live input");
    for (std::size_t i = 0; i < std::max(benchLines.size(), analyzerLines.size()); ++i)
        std::printf("%-72s | %s\n", quoted(benchLines, i).c_str(), quoted(analyzerLines, i).c_str());
    std::filesystem::remove(vcd);
}

}  // namespace
