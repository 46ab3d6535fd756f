// The bus monitor end to end on the bench: the demo's main processor at work,
// and each real capture played through the window, checked against what the
// capture's own events say the log and the image must show.
#include <QColor>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "bus_monitor_support.h"
#include "eeprom/image.h"
#include "monitor/monitor_logic.h"
#include "platform/counter.h"

namespace monitortest {
namespace {

// --- Demo traffic ------------------------------------------------------------------

class MonitorDemo : public MonitorWindow {
    void Configure(SimulatedBench::Config& config) override {
        config.traffic = SimulatedBench::Traffic::Demo;
    }
};

TEST_F(MonitorDemo, LogHistoryAndImageShowWhatTheMainProcessorDid) {
    // A chip content of its own, so that a byte seen can only come from it.
    std::vector<std::uint8_t>& chip = bench().Eeprom();
    for (std::size_t i = 0; i < chip.size(); ++i) chip[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::vector<std::uint8_t> before = chip;

    StartMonitor();
    const std::uint64_t played = bench().TransfersPlayed();
    PollUntilPlayed(played + 24);  // four rounds of the demo's six kinds of transfer
    StopMonitor();

    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), bench().TransfersPlayed() - played);
    auto count = [&](auto pred) { return std::count_if(lines.begin(), lines.end(), pred); };
    EXPECT_GT(count([](const std::string& l) { return l.starts_with(" W AE F0  R AF "); }), 0);
    EXPECT_GT(count([](const std::string& l) { return l.starts_with(" W AE "); }), 4);
    EXPECT_GT(count([](const std::string& l) { return l.starts_with(" W 4") || l.starts_with(" W 7"); }), 4);
    const std::vector<std::string> history = History();
    for (const std::string& line : lines) EXPECT_TRUE(HistoryHasPrefix(history, line)) << line;

    // Every green byte holds what the chip holds now; reads and writes both
    // left bytes, and one of them was written by the processor.
    int green = 0;
    bool written = false;
    for (int i = 0; i < kImageSize; ++i) {
        if (session().marks[i] != kMarkSeen) continue;
        ++green;
        EXPECT_EQ(session().image[i], chip[i]) << "at " << i;
        written |= chip[i] != before[i];
    }
    EXPECT_GT(green, 24);
    EXPECT_TRUE(written);
    EXPECT_GT(session().marks[0], 0) << "the read of block 0 at word 0";
    EXPECT_EQ(dialog().Chip().HexMarkColour(0xF0), QColor::fromRgb(kMarkColourSeen)) << "page 7 on show";
}

// --- Real captures --------------------------------------------------------------------

std::vector<std::string> CaptureFiles() {
    std::vector<std::string> files;
    const std::filesystem::path dir = MERLIX_TEST_DATA_DIR "/captures";
    if (!std::filesystem::is_directory(dir)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().string().ends_with(".i2c.txt")) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct Piece {
    bool address = false;
    std::uint8_t value = 0;
    bool acked = true;
};

// The bytes of one transfer in bus order, each marked address or data.
std::vector<Piece> Pieces(const BusTransfer& transfer) {
    std::vector<Piece> pieces;
    bool addressNext = true;
    for (const simulator::BusEvent& e : transfer) {
        if (e.kind == simulator::BusEvent::Kind::Byte) {
            pieces.push_back({addressNext, e.byte, e.acked});
            addressNext = false;
        } else if (e.kind != simulator::BusEvent::Kind::Stop) {
            addressNext = true;
        }
    }
    return pieces;
}

// The log line a monitor shows for a transfer: the direction before each
// address, every byte in hex, a semicolon after a refused data byte.
std::string ExpectedLine(const std::vector<Piece>& pieces) {
    std::string line;
    char hex[4];
    for (const Piece& p : pieces) {
        if (p.address) line += (p.value & 1) ? " R " : " W ";
        std::snprintf(hex, sizeof hex, "%02X ", p.value);
        line += hex;
        if (!p.address && !p.acked) line += " ; ";
    }
    return line;
}

struct ExpectedImage {
    Image image{kImageSize};
    Image marks{kImageSize};
    int page = 0;
    std::string deviceAddress = "A1";
};

void Store(ExpectedImage& out, int position, std::uint8_t value) {
    if (position < 0 || position >= kImageSize) return;
    out.image[position] = value;
    out.marks[position] = kMarkSeen;
}

// An EEPROM transfer seen on the bus, in terms of the bus: a write to
// 0xA0..0xAE whose second byte is the word address sets the page. A plain
// write stores the bytes written after it, up to and including a refused one.
// A word address followed by a repeated start for reading stores the bytes
// read; the final one only when the master refused it (a read the master
// ends by acknowledging leaves its last byte out of the image).
void ApplyTransfer(ExpectedImage& out, const std::vector<Piece>& p) {
    if (p.size() < 2 || !p[0].address || (p[0].value & 0xF1) != 0xA0 || p[1].address) return;
    out.page = (p[0].value & 0x0F) / 2;
    char text[4];
    std::snprintf(text, sizeof text, "%02X", out.page * 2 + 0xA1);
    out.deviceAddress = text;
    int position = out.page * kPageSize + p[1].value;
    const bool readForm = p[1].acked && p.size() > 2 && p[2].address && (p[2].value & 1);
    if (!readForm) {
        if (!p[1].acked) return;
        for (std::size_t i = 2; i < p.size() && !p[i].address; ++i) {
            Store(out, position++, p[i].value);
            if (!p[i].acked) break;
        }
        return;
    }
    for (std::size_t i = 3; i < p.size() && !p[i].address; ++i) {
        if (p[i].acked && i + 1 == p.size()) break;
        Store(out, position++, p[i].value);
        if (!p[i].acked) break;
    }
}

class MonitorCapture : public MonitorWindow, public ::testing::WithParamInterface<std::string> {
    void Configure(SimulatedBench::Config& config) override {
        config.traffic = SimulatedBench::Traffic::Capture;
        config.captureFile = GetParam();
    }
};

TEST_P(MonitorCapture, EveryTransferIsOneLineAndEepromBytesLandWhereTheReplayPutsThem) {
    std::vector<BusTransfer> transfers;
    std::string error;
    ASSERT_TRUE(simulator::ParseCaptureFile(GetParam(), transfers, error)) << error;
    std::vector<std::string> expectedLines;
    ExpectedImage expected;
    for (const BusTransfer& t : transfers) {
        const std::vector<Piece> pieces = Pieces(t);
        expectedLines.push_back(ExpectedLine(pieces));
        ASSERT_LT(static_cast<int>(expectedLines.back().size()), kMaxLogLineLength);
        ApplyTransfer(expected, pieces);
    }

    StartMonitor();
    PollUntilPlayed(transfers.size());
    Poll(3);  // nothing more comes: a capture plays once per monitor start
    StopMonitor();

    EXPECT_EQ(LogLines(), expectedLines);
    const std::vector<std::string> history = History();
    for (const std::string& line : expectedLines) EXPECT_TRUE(HistoryHasPrefix(history, line)) << line;
    EXPECT_TRUE(session().image == expected.image);
    EXPECT_TRUE(session().marks == expected.marks);
    for (int i = 0; i < kImageSize; ++i) {
        if (session().image[i] != expected.image[i] || session().marks[i] != expected.marks[i]) {
            ADD_FAILURE() << "first difference at " << i;
            break;
        }
    }
    EXPECT_EQ(dialog().m_page, expected.page);
    EXPECT_EQ(Text(ids::kDeviceAddress).toStdString(), expected.deviceAddress);

    // Started again a moment later, the monitor sees the whole capture again.
    clock().SleepMs(60);
    StartMonitor();
    PollUntilPlayed(2 * transfers.size());
    StopMonitor();
    EXPECT_EQ(LogLines(), expectedLines);
}

std::string CaptureName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = std::filesystem::path(info.param).filename().string();
    name = name.substr(0, name.find('.'));
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(RealCaptures, MonitorCapture, ::testing::ValuesIn(CaptureFiles()), CaptureName);

TEST(MonitorCaptureFiles, AllRealCapturesAreThere) { EXPECT_GE(CaptureFiles().size(), 8u); }

}  // namespace
}  // namespace monitortest
