// The decoder-text reader: labels, event kinds, 7-bit addresses, where one
// transfer ends and the next begins, and what is not a bus event.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "simulator/simulated_bench.h"

namespace simulator {
namespace {

using K = BusEvent::Kind;

BusEvent B(std::uint8_t b, bool acked = true) { return {K::Byte, b, acked}; }
const BusEvent S{K::Start, 0, true};
const BusEvent Sr{K::RepeatedStart, 0, true};
const BusEvent P{K::Stop, 0, true};

TEST(CaptureText, ReadsEventsWithAndWithoutLabels) {
    const std::string text = "i2c-1: Start\n"
                             "i2c-1: Address write: 50\n"
                             "i2c-1: ACK\n"
                             "Data write: 10\r\n"
                             "ACK\n"
                             "i2c-1: Start repeat\n"
                             "  i2c-1: Address read: 50  \n"
                             "i2c-1: ACK\n"
                             "i2c-1: Data read: fF\n"
                             "i2c-1: NACK\n"
                             "i2c-1: Stop\n";
    std::vector<BusTransfer> transfers;
    ASSERT_TRUE(ParseCaptureText(text, transfers));
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0], (BusTransfer{S, B(0xA0), B(0x10), Sr, B(0xA1), B(0xFF, false), P}));
}

// The analyzer window's annotation export: sample ranges, decoder and row
// names, lines out of time order; read as the same transfers.
TEST(CaptureText, ReadsAnnotationExportsInSampleOrder) {
    std::vector<BusTransfer> transfers;
    std::string error;
    const std::string file =
        MERLIX_TEST_DATA_DIR "/captures-annotations/eeprom_write_then_read.i2c-annotations.txt";
    ASSERT_TRUE(ParseCaptureFile(file, transfers, error)) << error;
    ASSERT_EQ(transfers.size(), 3u);
    EXPECT_EQ(transfers[0], (BusTransfer{S, B(0xA0), B(0x10), B(0x3C), B(0x07), P}));
    EXPECT_EQ(transfers[1], (BusTransfer{S, B(0xA0), B(0x10), Sr, B(0xA1), B(0x3C), B(0x07, false), P}));
    EXPECT_EQ(transfers[2], (BusTransfer{S, B(0xA4, false), P}));

    // Any decoder label, quoted alternatives, leading blanks.
    const std::string text = "  30-38 i2c: Address/data: \"Data write: 5A\" \"DW: 5A\" \"DW\"\n"
                             "10-11 I²C: Address/data: Start\n"
                             "20-28 my decoder: Address/data: Address write: 21\n"
                             "28-30 I²C: Address/data: NACK\n"
                             "40-41 I²C: Address/data: Stop\n";
    ASSERT_TRUE(ParseCaptureText(text, transfers));
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0], (BusTransfer{S, B(0x42, false), B(0x5A), P}));
}

// Lines of a megabyte with tens of thousands of labels and quoted
// alternatives before their event, or none at all.
TEST(CaptureText, ReadsTheEventAfterThousandsOfLabels) {
    std::string labels;
    while (labels.size() < (1u << 20)) labels += "row: \"Data write: zz\" : ";
    std::string text = "10-11 I2C: Start\n";
    text += "20-28 I2C: " + labels + "Address write: 50\n";  // the event after the last label
    text += "29-30 I2C: " + labels + "\n";                   // labels and no event
    text += "i2c-1: " + labels + "Data write: 01\n";         // a decoder line's labels hold no blanks
    text += "40-41 I2C: Stop\n";
    std::vector<BusTransfer> transfers;
    ASSERT_TRUE(ParseCaptureText(text, transfers));
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0], (BusTransfer{S, B(0xA0), P}));
}

TEST(CaptureText, SplitsTransfersAtStopAndAtStartWithoutStop) {
    const std::string text =
        "Start\nAddress write: 52\nNACK\nStop\n"
        "Start\nAddress write: 7F\nACK\nData write: 01\nACK\n"  // no Stop: the next Start ends it
        "Start\nAddress read: 00\nACK\nData read: 00\nNACK\n";  // the file ends inside a transfer
    std::vector<BusTransfer> transfers;
    ASSERT_TRUE(ParseCaptureText(text, transfers));
    ASSERT_EQ(transfers.size(), 3u);
    EXPECT_EQ(transfers[0], (BusTransfer{S, B(0xA4, false), P}));
    EXPECT_EQ(transfers[1], (BusTransfer{S, B(0xFE), B(0x01)}));
    EXPECT_EQ(transfers[2], (BusTransfer{S, B(0x01), B(0x00, false)}));
}

TEST(CaptureText, SkipsWhatIsNotABusEvent) {
    const std::string text = "i2c-1: Bit: 1\n"
                             "i2c-1: Write\n"
                             "i2c-1: Read\n"
                             "Stop\n"                 // a STOP with nothing open
                             "Data write: 12\nACK\n"  // a capture that begins inside a transfer
                             "Address write: 80\n"    // not a 7-bit address
                             "Data write: 123\n"      // not a byte
                             "Data write:\n"
                             "some label with blanks: Start\n"
                             "Stop\n";
    std::vector<BusTransfer> transfers;
    ASSERT_TRUE(ParseCaptureText(text, transfers));
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0], (BusTransfer{S, B(0x12), P}));

    EXPECT_FALSE(ParseCaptureText("", transfers));
    EXPECT_TRUE(transfers.empty());
    EXPECT_FALSE(ParseCaptureText("hello\nworld\n", transfers));
}

TEST(CaptureFile, ReportsAFileItCannotUse) {
    std::vector<BusTransfer> transfers{{S}};
    std::string error;
    EXPECT_FALSE(ParseCaptureFile("/nonexistent/capture.txt", transfers, error));
    EXPECT_NE(error.find("/nonexistent/capture.txt"), std::string::npos);
    EXPECT_TRUE(transfers.empty());

    const std::string path = testing::TempDir() + "merlix_capture_test.txt";
    {
        std::ofstream out(path);
        out << "not a capture\n";
    }
    EXPECT_FALSE(ParseCaptureFile(path, transfers, error));
    EXPECT_NE(error.find("no I2C bus events"), std::string::npos);
    {
        std::ofstream out(path);
        out << "i2c-1: Start\ni2c-1: Address write: 50\ni2c-1: ACK\ni2c-1: Stop\n";
    }
    EXPECT_TRUE(ParseCaptureFile(path, transfers, error));
    EXPECT_EQ(transfers.size(), 1u);
    std::remove(path.c_str());
}

// A capture is read whole, so only a regular file of sensible size will do:
// a FIFO would block start-up for good and a device never ends.
TEST(CaptureFile, RefusesWhatIsNotARegularFileOfSensibleSize) {
    const std::string dir = testing::TempDir() + "merlix_capture_kinds";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/folder");
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir + "/huge.txt";
    std::ofstream(huge) << "Start\nAddress write: 50\nStop\n";
    std::filesystem::resize_file(huge, 64u * 1024 * 1024 + 1);  // sparse: cheap to make

    const std::pair<std::string, std::string> cases[] = {
        {dir + "/missing.txt",
         "cannot open the capture file " + dir + "/missing.txt: No such file or directory"},
        {dir + "/folder", "it is a folder"},
        {fifo, "it is a named pipe (FIFO), not a regular file"},
        {"/dev/null", "it is a device, not a regular file"},
        {huge, "larger than 64 MiB"},
    };
    for (const auto& [path, reason] : cases) {
        std::vector<BusTransfer> transfers{{S}};
        std::string error;
        EXPECT_FALSE(ParseCaptureFile(path, transfers, error)) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        EXPECT_TRUE(transfers.empty());
    }
    std::filesystem::remove_all(dir);
}

TEST(CaptureFile, UnreadableFileSaysPermissionDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: a mode of 000 does not deny reads";
    const std::string path = testing::TempDir() + "merlix_capture_locked.txt";
    std::ofstream(path) << "Start\nStop\n";
    ::chmod(path.c_str(), 0);
    std::vector<BusTransfer> transfers;
    std::string error;
    EXPECT_FALSE(ParseCaptureFile(path, transfers, error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    std::remove(path.c_str());
}

}  // namespace
}  // namespace simulator
