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
