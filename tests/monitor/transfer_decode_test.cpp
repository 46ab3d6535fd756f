// Decoded transfers: every real capture played on the bench and decoded,
// checked against counts taken from the capture's own text; and the decoder
// text export played back as a capture, giving the same monitor lines.
#include "monitor/transfer_decode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "hardware/bench_support.h"
#include "monitor/monitor_logic.h"

using namespace monitor;

namespace {

class DecodeOnBench : public benchtest::BenchTest {
protected:
    DecodeOnBench() { Probe(); }

    // Runs monitor passes on a capture until it has played out.
    void Play(const std::string& file) {
        bench_.SetTraffic(simulator::SimulatedBench::Traffic::Capture, file);
        std::string error;
        ASSERT_FALSE(bench_.TrafficError(error)) << error;
        bench_.RestartTraffic();
        lines.clear();
        seen.clear();
        std::uint64_t played = ~0ull;
        for (int pass = 0; pass < 400 && played != bench_.TransfersPlayed(); ++pass) {
            played = bench_.TransfersPlayed();
            adapter().ResetAdapter(0, adapter().Latch());
            adapter().InitController();
            CapturePass(
                adapter(), kPollReads, 0, 0, [&](std::string_view l) { lines.emplace_back(l); },
                [&](const hardware::TransferBuffer& t) {
                    const auto decoded = DecodeTransfer(t);
                    ASSERT_TRUE(decoded);
                    seen.push_back({static_cast<int>(seen.size()) + 1, 0, *decoded});
                });
        }
    }

    std::vector<std::string> lines;
    std::vector<SeenTransfer> seen;
};

// Counts read straight from the decoder text, without the capture parser.
struct TextCounts {
    int starts = 0, repeats = 0, dataBytes = 0, dataNacks = 0, stops = 0;
};
TextCounts CountEvents(const std::string& file) {
    TextCounts c;
    std::ifstream in(file);
    std::string line, previous;
    while (std::getline(in, line)) {
        const std::size_t colon = line.find(": ");
        const std::string event = line.substr(colon == std::string::npos ? 0 : colon + 2);
        c.starts += event == "Start";
        c.repeats += event == "Start repeat";
        c.stops += event == "Stop";
        c.dataBytes += event.starts_with("Data ");
        c.dataNacks += event == "NACK" && previous.starts_with("Data ");
        previous = event;
    }
    return c;
}

TEST_F(DecodeOnBench, EveryRealCaptureDecodesToItsOwnCountOfTransfers) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MERLIX_TEST_DATA_DIR "/captures")) {
        const std::string file = entry.path().string();
        if (!file.ends_with(".i2c.txt")) continue;
        ++files;
        Play(file);
        const TextCounts expected = CountEvents(file);
        TextCounts got;
        for (const SeenTransfer& s : seen) {
            ++got.starts;
            got.repeats += s.transfer.RepeatedStarts();
            got.stops += s.transfer.stopSeen;
            for (const TransferSegment& segment : s.transfer.segments) {
                got.dataBytes += static_cast<int>(segment.bytes.size());
                for (bool a : segment.acked) got.dataNacks += !a;
            }
        }
        EXPECT_EQ(got.starts, expected.starts) << file;
        EXPECT_EQ(got.repeats, expected.repeats) << file;
        EXPECT_EQ(got.dataBytes, expected.dataBytes) << file;
        EXPECT_EQ(got.dataNacks, expected.dataNacks) << file;
        EXPECT_EQ(got.stops, got.starts) << file;
        EXPECT_EQ(lines.size(), seen.size()) << file;
    }
    EXPECT_GE(files, 8);
}

TEST_F(DecodeOnBench, ExportedDecoderTextPlaysBackAsTheSameLines) {
    Play(MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt");
    const std::vector<std::string> original = lines;
    ASSERT_EQ(original.size(), 10u);
    const std::string path = ::testing::TempDir() + "merlix_export.i2c.txt";
    std::ofstream(path) << TransfersCaptureText(seen);
    Play(path);
    EXPECT_EQ(lines, original);
    std::filesystem::remove(path);
}

TEST(DecodeTransfer, RepeatedStartRegisterNacksAndCsv) {
    const std::vector<hardware::CaptureRecord> records{{4, 0xA0}, {0, 0x10}, {4, 0xA1}, {0, 0x55}, {8, 0x66}};
    const auto t = DecodeTransfer(records, false);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Address7(), 0x50);
    EXPECT_FALSE(t->Read());
    EXPECT_EQ(t->RepeatedStarts(), 1);
    EXPECT_EQ(t->Register(), std::optional<std::uint8_t>(0x10));
    EXPECT_EQ(t->Refusals(), 0) << "a read ends with the master's NACK";
    EXPECT_EQ(DecodeTransfer(std::vector<hardware::CaptureRecord>{{4, 0xA0}, {8, 0x10}})->Refusals(), 1);
    EXPECT_EQ(AcksText(*t), "A | A N");
    EXPECT_FALSE(DecodeTransfer(std::vector<hardware::CaptureRecord>{{0, 0x10}, {4, 0xA0}}));

    const std::string csv = TransfersCsv({{7, 1'500'000, *t}}, [](std::uint8_t a, std::uint8_t r) {
        return a == 0xA0 && r == 0x10 ? std::string("Mode, \"fast\"") : std::string();
    });
    EXPECT_EQ(csv, "index,time_s,address7,address8,rw,repeated_start,register,bytes,acks,stop,name\r\n"
                   "7,1.500000,50,A0,W,A1,10,55 66,A | A N,no,\"Mode, \"\"fast\"\"\"\r\n");

    // The window's cells of the same transfer, with records the capture could not keep.
    SeenTransfer seen{7, 1'500'000, *t};
    seen.transfer.recordsDropped = 3;
    std::string cells;
    for (const TransferColumn& column : kTransferColumns)
        cells += column.text(seen, {}, ColumnText::Window) + ";";
    EXPECT_EQ(cells, "7;1.500000;0x50;A0;W;A1;10;55 66 (+3 not kept);A | A N;missing;;");
}

}  // namespace
