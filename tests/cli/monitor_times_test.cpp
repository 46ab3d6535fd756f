// The monitor's transfer times against the bus itself: the bench's own
// waveform of the same run, decoded as a logic analyzer's recording.
#include <gtest/gtest.h>

#include <QStandardPaths>

#include <cmath>
#include <vector>

#include "tests/cli/cli_fixture.h"

namespace {

// The time column of `monitor --format csv`, in microseconds.
std::vector<long long> CsvTimesUs(const QByteArray& csv) {
    std::vector<long long> times;
    for (const QByteArray& row : csv.split('\n').mid(1)) {
        if (row.isEmpty()) continue;
        times.push_back(std::llround(row.split(',').value(1).toDouble() * 1e6));
    }
    return times;
}

}  // namespace

TEST_F(MerlixCli, MonitorTimesAreTheStartsTheWaveformShows) {
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        GTEST_SKIP() << "sigrok-cli is not installed (Debian package sigrok-cli)";
    const QString vcd = dir.filePath("same.vcd");
    const Outcome bench =
        Cli({"--bench-vcd", vcd, "--traffic",
             MERLIX_TEST_DATA_DIR "/captures/24aa025uid_seqrndread16_pagewrite16_seqrndread16.i2c.txt",
             "monitor", "--format", "csv"});
    ASSERT_EQ(bench.code, 0) << bench.err.toStdString();
    onBench = false;
    const Outcome decoded =
        Cli({"--analyzer-file", vcd, "--analyzer-pins", "scl=scl,sda=sda", "monitor", "--format", "csv"});
    ASSERT_EQ(decoded.code, 0) << decoded.err.toStdString();

    // Each transfer of 16 bytes lasts about 1.7 ms at 100 kHz, and the next
    // begins after it. The monitor counts from its own start, the waveform
    // from the bench's, so the STARTs are compared from the first.
    const std::vector<long long> seen = CsvTimesUs(bench.out);
    const std::vector<long long> onBus = CsvTimesUs(decoded.out);
    ASSERT_EQ(seen.size(), 3u) << bench.out.toStdString();
    ASSERT_EQ(onBus.size(), seen.size()) << decoded.out.toStdString();
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GT(onBus[i] - onBus[i - 1], 1500) << decoded.out.toStdString();
        EXPECT_NEAR(seen[i] - seen[0], onBus[i] - onBus[0], 10) << "transfer " << i + 1;  // a bit time
    }
}

// A capture whose lines carry sample numbers plays at its own times when its
// rate is given: the monitor's times are the STARTs' samples over the rate.
// Without the rate it plays back to back; without sample numbers the rate is refused.
TEST_F(MerlixCli, ACaptureWithSampleNumbersPlaysAtItsOwnTimes) {
    const QString capture =
        MERLIX_TEST_DATA_DIR "/captures-annotations/eeprom_write_then_read.i2c-annotations.txt";
    const Outcome paced = Cli({"--traffic", capture, "--traffic-rate", "100k", "monitor", "--format", "csv"});
    ASSERT_EQ(paced.code, 0) << paced.err.toStdString();
    const std::vector<long long> times = CsvTimesUs(paced.out);
    ASSERT_EQ(times.size(), 3u) << paced.out.toStdString();
    // STARTs at samples 1200, 1970 and 2835: 10 us a sample at 100 kHz.
    EXPECT_NEAR(times[1] - times[0], 7700, 10) << paced.out.toStdString();
    EXPECT_NEAR(times[2] - times[0], 16350, 10) << paced.out.toStdString();

    const Outcome unpaced = Cli({"--traffic", capture, "monitor", "--format", "csv"});
    ASSERT_EQ(unpaced.code, 0) << unpaced.err.toStdString();
    const std::vector<long long> backToBack = CsvTimesUs(unpaced.out);
    ASSERT_EQ(backToBack.size(), 3u);
    EXPECT_LT(backToBack[2] - backToBack[0], 2000) << "one after another as soon as the bus is free";

    const Outcome noSamples = Cli({"--traffic", MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt",
                                   "--traffic-rate", "1M", "monitor"});
    EXPECT_EQ(noSamples.code, 2) << noSamples.err.toStdString();
    EXPECT_TRUE(noSamples.err.contains("has no sample numbers")) << noSamples.err.toStdString();
}
