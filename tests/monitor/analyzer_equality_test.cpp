// Our I2C decoder against sigrok's own on real captures: every recording in
// tests/data/analyzer-captures, played through the live analyzer (sigrok-cli
// streaming raw samples, our decoder), must give the transfers, with their
// times, that sigrok-cli's I2C protocol decoder gives for the same file, row
// for row of the CSV export.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "monitor/live_analyzer.h"
#include "monitor/transfer_decode.h"

namespace {

const std::string kCaptures = MERLIX_TEST_DATA_DIR "/analyzer-captures/";

// Runs `argv` to its end and gives what it wrote, line by line.
std::vector<std::string> RunToEnd(const std::vector<std::string>& argv) {
    platform::ChildProcess child;
    std::string error;
    std::vector<std::string> lines;
    if (child.Begin(argv, error) != platform::ChildProcess::Start::Started) return lines;
    while (child.Poll(lines)) child.WaitForOutput(50);
    return lines;
}

std::int64_t Microseconds(std::uint64_t sample, std::int64_t rateHz) {
    const auto rate = static_cast<std::uint64_t>(rateHz);
    return static_cast<std::int64_t>(sample / rate * 1'000'000 + sample % rate * 1'000'000 / rate);
}

void Keep(std::vector<monitor::SeenTransfer>& rows, const hardware::TransferBuffer& records,
          std::int64_t timeUs) {
    if (auto decoded = monitor::DecodeTransfer(records))
        rows.push_back({static_cast<int>(rows.size()) + 1, timeUs, std::move(*decoded)});
}

// The reference: sigrok-cli's decoder text, read as the capture player reads it.
std::vector<monitor::SeenTransfer> SigrokTransfers(const std::string& file, const std::string& scl,
                                                   const std::string& sda) {
    std::string show;
    for (const std::string& line : RunToEnd({"sigrok-cli", "-i", file, "--show"})) show += line + "\n";
    const std::int64_t rateHz = monitor::ParseShowText(show).rateHz;
    std::vector<monitor::SeenTransfer> rows;
    hardware::TransferBuffer records;
    hardware::TransferAssembler assembler([&](hardware::BusTransfer& transfer, std::uint64_t first) {
        monitor::TransferRecords(transfer, records);
        if (records.Size() > 0) Keep(rows, records, Microseconds(first, rateHz));
    });
    for (const std::string& text :
         RunToEnd({"sigrok-cli", "-i", file, "-P", "i2c:scl=" + scl + ":sda=" + sda, "-A",
                   "i2c=start:repeat-start:stop:ack:nack:address-read:address-write:data-read:data-write",
                   "--protocol-decoder-samplenum"})) {
        hardware::DecoderLine line;
        if (hardware::ParseDecoderLine(text, line)) assembler.Add(line);
    }
    assembler.Finish();
    return rows;
}

std::vector<monitor::SeenTransfer> OurTransfers(const std::string& file, const std::string& scl,
                                                const std::string& sda, std::string& trouble) {
    monitor::AnalyzerSettings settings;
    settings.inputFile = file;
    settings.scl = scl;
    settings.sda = sda;
    monitor::LiveAnalyzer analyzer(settings);
    std::vector<monitor::SeenTransfer> rows;
    analyzer.StartWatching();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (analyzer.Trouble().empty() && !analyzer.Finished() && std::chrono::steady_clock::now() < end) {
        analyzer.CaptureTransfers(
            0, [&](const hardware::TransferBuffer& records) { Keep(rows, records, analyzer.NowUs()); });
    }
    analyzer.StopWatching();
    trouble = analyzer.Trouble();
    return rows;
}

TEST(AnalyzerEquality, OurDecoderGivesSigroksTransfersOnEveryRealCapture) {
    if (RunToEnd({"sigrok-cli", "--version"}).empty())
        GTEST_SKIP() << "sigrok-cli is not installed (Debian package sigrok-cli): the equality test needs it";
    struct Capture {
        const char* file;
        const char* scl;
        const char* sda;
    };
    // The channels each recording names SCL and SDA (see the folder's README).
    for (const Capture& c : {
             Capture{"24aa025uid_seqrndread16_pagewrite16_seqrndread16.sr", "SCL", "SDA"},
             Capture{"24aa025uid_seqrndread256_trigger_sda_low.sr", "SCL", "SDA"},
             Capture{"24aa025uid_bytewrite16_6ms_delay.sr", "SCL", "SDA"},
             Capture{"glasgow-firmware-flash.sr", "SCL", "SDA"},
             Capture{"x24c02_dual.sr", "SCL", "SDA"},
             Capture{"st_m24c02_powerup_and_reset.sr", "SCL", "SDA"},
             Capture{"hantek_6022be_powerup.sr", "SCL", "SDA"},
             Capture{"mcp23017_counter_init_ab_write_read.sr", "SCL", "SDA"},
             Capture{"pca9571_sequence.sr", "SCL", "SDA"},
             Capture{"rtc_ds1307_200khz.sr", "SCL", "SDA"},
             Capture{"ds3231_ex1.sr", "SCL", "SDA"},
             Capture{"ad5258_read_32_write_63_read_63_directly_restart.sr", "SCL", "SDA"},
             Capture{"i2c-sht21-100khz-read-serial-hold.sr", "SCL", "SDA"},
             Capture{"samsung_syncmaster245b.sr", "scl", "sda"},
             Capture{"a2_dummy_write.sr", "SCL", "SDA"},
             Capture{"24aa025uid_seqrndread256.sr", "SCL", "SDA"},
             Capture{"dreamsourcelab_dslogic_powerup.sr", "SCL", "SDA"},
             Capture{"sla24c02-s-3_powerup.sr", "SCL", "SDA"},
         }) {
        SCOPED_TRACE(c.file);
        const std::string file = kCaptures + c.file;
        std::string trouble;
        const std::string ours = monitor::TransfersCsv(OurTransfers(file, c.scl, c.sda, trouble));
        EXPECT_EQ(trouble, "");
        const std::string theirs = monitor::TransfersCsv(SigrokTransfers(file, c.scl, c.sda));
        EXPECT_GT(theirs.size(), 100u) << "the reference decoded transfers";
        EXPECT_EQ(ours, theirs);
    }
}

}  // namespace
