// The bus monitor's logic without a window: log lines, the capture pass over a
// scripted controller, the filter, the history rule and the replay.
#include "monitor/monitor_logic.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "hardware/bench_support.h"
#include "hardware/port_adapter.h"
#include "platform/port_io.h"

using namespace eeprom;
using namespace monitor;

namespace {

constexpr int kBase = 0x378;
constexpr std::uint8_t kIdle = 0x81;  // no byte pending, bus free

// A controller that plays scripted status values at base+3 and data bytes at
// base+4, then stays idle. It counts reads so tests can see that every
// pending byte was fetched.
class ScriptedController final : public platform::PortIo {
public:
    std::uint8_t In(std::uint16_t port) override {
        std::deque<std::uint8_t>& queue = port == kBase + 3 ? status_ : data_;
        (port == kBase + 3 ? statusReads : dataReads)++;
        if (queue.empty()) return port == kBase + 3 ? idle : 0xFF;
        const std::uint8_t value = queue.front();
        queue.pop_front();
        return value;
    }
    void Out(std::uint16_t, std::uint8_t) override {}

    // One transfer as the controller presents it: the start status, a status
    // without a byte, each record, and the end of the transfer.
    void Transfer(const std::vector<CaptureRecord>& records) {
        status_.push_back(hardware::kStatusTransferStart);
        status_.push_back(0x80);
        for (const CaptureRecord& r : records) {
            status_.push_back(r.type);
            if (!(r.type & hardware::kStatusPin)) data_.push_back(r.data);
        }
        status_.push_back(kIdle);
    }
    void Status(std::uint8_t value) { status_.push_back(value); }

    std::uint8_t idle = kIdle;
    int statusReads = 0;
    int dataReads = 0;

private:
    std::deque<std::uint8_t> status_;
    std::deque<std::uint8_t> data_;
};

std::vector<std::string> Pass(platform::PortIo& controller, int reads, MonitorFilter filter,
                              CapturePassStats* stats = nullptr) {
    std::vector<std::string> lines;
    platform::VirtualCounter clock;
    hardware::PortAdapter adapter(controller, clock);
    adapter.SetBase(kBase);
    const CapturePassStats s = CapturePass(adapter, reads, filter.read, filter.write,
                                           [&](std::string_view line) { lines.emplace_back(line); });
    if (stats) *stats = s;
    return lines;
}

std::vector<CaptureRecord> DataRecords(int count) {
    std::vector<CaptureRecord> records{{hardware::kRecordAddress, 0xA0}};
    for (int i = 1; i < count; ++i) records.push_back({0, static_cast<std::uint8_t>(i)});
    return records;
}

TEST(LogLine, FormatMarksAddressesAndUnacknowledgedBytes) {
    const std::string write = BuildLogLine(std::vector<CaptureRecord>{{4, 0xA0}, {0, 0x10}, {0, 0x55}});
    EXPECT_EQ(write, " W A0 10 55 ");
    EXPECT_EQ(write.size(), 12u);
    EXPECT_EQ(BuildLogLine(std::vector<CaptureRecord>{{4, 0xA0}, {0, 0x10}, {8, 0x55}}), " W A0 10 55  ; ");
    // A repeated start: the read address record continues the same line.
    EXPECT_EQ(BuildLogLine(std::vector<CaptureRecord>{{4, 0xA0}, {0, 0x10}, {4, 0xA1}, {0, 0x55}, {8, 0x66}}),
              " W A0 10  R A1 55 66  ; ");
    // Only exactly 4 and exactly 8 are address and unacknowledged records.
    EXPECT_EQ(BuildLogLine(std::vector<CaptureRecord>{{0x0C, 0x07}, {0x08 | 0x40, 0xFF}}), "07 FF ");
    EXPECT_EQ(BuildLogLine({}), "");
}

TEST(CapturePass, StartFilterHidesAddressZeroOnly) {
    ScriptedController bus;
    bus.Transfer({{4, 0x00}, {0, 0x12}});
    bus.Transfer({{4, 0x01}, {0, 0x34}});
    EXPECT_EQ(Pass(bus, 100, MonitorFilter{}), std::vector<std::string>{" R 01 34 "});
}

TEST(CapturePass, FilterHidesWholeTransfersOfTheDevice) {
    ScriptedController bus;
    bus.Transfer({{4, 0xA0}, {0, 0x10}});
    bus.Transfer({{4, 0xA1}, {8, 0x10}});
    bus.Transfer({{4, 0xA2}, {0, 0x10}, {4, 0xA1}, {8, 0x33}});  // filter address in the second record
    bus.Transfer({{4, 0xA2}, {0, 0x10}});
    CapturePassStats stats;
    EXPECT_EQ(Pass(bus, 200, FilterBytes(0xA1), &stats), std::vector<std::string>{" W A2 10 "});
    EXPECT_EQ(stats.linesFiltered, 3);
    EXPECT_EQ(stats.transfers, 4);
}

TEST(CapturePass, KeepsOnlyTransfersThatBeginWithAnAddress) {
    ScriptedController bus;
    bus.Transfer({{0, 0x10}, {4, 0xA0}});        // joined mid-way: no address first
    bus.Status(hardware::kStatusTransferStart);  // a start, then the bus frees at once
    bus.Status(kIdle);
    bus.Transfer({{0x80, 0x99}, {4, 0xA0}});  // a status with PIN set carries no record
    CapturePassStats stats;
    EXPECT_EQ(Pass(bus, 100, FilterBytes(0x20), &stats), std::vector<std::string>{" W A0 "});
    EXPECT_EQ(stats.transfers, 2);
    EXPECT_EQ(bus.dataReads, 3);
}

TEST(CapturePass, TransferBegunAtTheEndOfThePassIsReadWholeAndStuckOnesEndAtTheirBounds) {
    ScriptedController bus;
    for (int i = 0; i < 49; ++i) bus.Status(kIdle);
    bus.Transfer({{4, 0xA0}, {0, 0x10}, {0, 0x55}});  // begins at the 50th read
    CapturePassStats stats;
    EXPECT_EQ(Pass(bus, 50, FilterBytes(0x20), &stats), std::vector<std::string>{" W A0 10 55 "});
    EXPECT_EQ(stats.statusReads, 55);
    EXPECT_EQ(stats.transfersCut, 0);

    // A controller that never frees the bus ends the capture after its
    // record limit, a master gone quiet half way after the idle limit; what
    // was read is shown either way.
    ScriptedController stuck;
    stuck.Status(hardware::kStatusTransferStart);
    stuck.idle = hardware::kRecordAddress;
    auto lines = Pass(stuck, 1, FilterBytes(0x20), &stats);
    EXPECT_EQ(stuck.dataReads, hardware::kCaptureRecordLimit);
    EXPECT_EQ(stats.transfersCut, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 12), " R FF  R FF ");

    ScriptedController quiet;
    quiet.Status(hardware::kStatusTransferStart);
    quiet.Status(0x80);
    quiet.Status(hardware::kRecordAddress);
    quiet.idle = 0x80;  // no byte, bus still busy
    lines = Pass(quiet, 1, FilterBytes(0x20), &stats);
    EXPECT_EQ(quiet.statusReads, 3 + hardware::kCaptureIdleReads);
    EXPECT_EQ(stats.transfersCut, 1);
    EXPECT_EQ(lines, std::vector<std::string>{" R FF "});
}

TEST(CapturePass, OverlongTransferIsReadToItsEndAndShownUpToTheCut) {
    ScriptedController bus;
    bus.Transfer(DataRecords(600));
    bus.Transfer({{4, 0xA2}, {0, 0x10}});
    CapturePassStats stats;
    const auto lines = Pass(bus, 2000, FilterBytes(0x20), &stats);
    // Every pending byte was fetched, so the next transfer is read in step.
    EXPECT_EQ(bus.dataReads, 602);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], BuildLogLine(DataRecords(600)));
    // Cut at whole bytes inside the 1000-character buffer: the address, then
    // bytes 1..331, the last one shown as its low byte 0x4B.
    ASSERT_EQ(lines[0].size(), static_cast<std::size_t>(kMaxLogLineLength));
    EXPECT_LT(lines[0].size(), static_cast<std::size_t>(kLogLineBufferSize));
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), "4B ");
    EXPECT_EQ(lines[1], " W A2 10 ");
    EXPECT_EQ(stats.recordsDropped, 600 - kMaxTransferRecords);
    EXPECT_EQ(stats.linesCut, 1);
}

TEST(CapturePass, FilterStillAppliesToRecordsPastTheBuffer) {
    ScriptedController bus;
    std::vector<CaptureRecord> records = DataRecords(kMaxTransferRecords + 5);
    records.push_back({4, 0x51});
    bus.Transfer(records);
    EXPECT_TRUE(Pass(bus, 2000, FilterBytes(0x50)).empty());
}

TEST(History, KeepsAHundredEntriesAndSkipsKnownPrefixesIgnoringCase) {
    std::vector<std::string> history{""};
    EXPECT_EQ(AppendToHistory(history, {" W A0 10 55 66 "}), 1);
    // The blank start entry is a prefix of everything, but a prefix of the
    // line is not the rule: an entry must begin with the line.
    EXPECT_EQ(AppendToHistory(history, {" w a0 10 ", " W A0 10 55 66 77 ", " W A0 10 55 66 77 "}), 1);
    EXPECT_EQ(history.size(), 3u);

    std::vector<std::string> lines;
    for (int i = 0; i < 150; ++i) lines.push_back(" W " + std::to_string(1000 + i) + " ");
    AppendToHistory(history, lines);
    ASSERT_EQ(history.size(), static_cast<std::size_t>(kHistoryLimit));
    EXPECT_EQ(history.front(), " W 1050 ");
    EXPECT_EQ(history.back(), " W 1149 ");
}

class Replay : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * 7);
        before = image;
    }
    bool Run(const std::string& line) { return ReplayLogLine(line, image, marks, page, device); }
    int ChangedBytes() const {
        int n = 0;
        for (int i = 0; i < kImageSize; ++i) n += image[i] != before[i] || marks[i] != 0;
        return n;
    }

    Image image{kImageSize}, before{kImageSize}, marks{kImageSize};
    int page = 5;
    std::string device = "A1";
};

TEST_F(Replay, WriteStoresTheBytesOnTheDevicesPage) {
    ASSERT_TRUE(Run(BuildLogLine(std::vector<CaptureRecord>{{4, 0xA2}, {0, 0x10}, {0, 0x11}, {0, 0x22}})));
    EXPECT_EQ(page, 1);
    EXPECT_EQ(device, "A3");
    EXPECT_EQ(image[272], 0x11);
    EXPECT_EQ(image[273], 0x22);
    EXPECT_EQ(marks[272], kMarkSeen);
    EXPECT_EQ(marks[273], kMarkSeen);
    EXPECT_EQ(ChangedBytes(), 2);
}

TEST_F(Replay, RandomReadStoresEveryByteRead) {
    ASSERT_TRUE(Run(" W AC F0  R AD 55 66 77  ; "));
    EXPECT_EQ(page, 6);
    EXPECT_EQ(device, "AD");
    EXPECT_EQ(image[6 * 256 + 0xF0], 0x55);
    EXPECT_EQ(image[6 * 256 + 0xF2], 0x77);
    EXPECT_EQ(ChangedBytes(), 3);
}

TEST_F(Replay, NothingIsStoredPastTheImage) {
    ASSERT_TRUE(Run(" W AE FE 01 02 03 04 "));
    EXPECT_EQ(image[2046], 0x01);
    EXPECT_EQ(image[2047], 0x02);
    EXPECT_EQ(ChangedBytes(), 2);
}

TEST_F(Replay, OtherLinesChangeNothing) {
    for (const char* line :
         {" W A0 1", " R A1 55 66  ; ", " W 40 05 7F ", "", " W A0 x0 11 ", " W AZ 10 11 "}) {
        EXPECT_FALSE(Run(line)) << line;
    }
    EXPECT_EQ(page, 5);
    EXPECT_EQ(device, "A1");
    EXPECT_EQ(ChangedBytes(), 0);
}

TEST_F(Replay, AnAddressAloneSetsThePageAndStoresNothing) {
    // A probe of an absent chip, acknowledged or refused.
    EXPECT_EQ(ReplayLog({" W A0 10 55 ", " W A4 "}, image, marks, page, device), 2);
    EXPECT_EQ(page, 2);
    EXPECT_EQ(device, "A5");
    ASSERT_TRUE(Run(" W AE  ; "));
    EXPECT_EQ(page, 7);
    EXPECT_EQ(device, "AF");
    EXPECT_EQ(image[0x10], 0x55);
    EXPECT_EQ(ChangedBytes(), 1);
}

TEST_F(Replay, MarkerGroupsAreNotStoredAsBytes) {
    // A refused last byte, and a read after a two-byte word address.
    ASSERT_TRUE(Run(" W A0 10 55 66  ; "));
    ASSERT_TRUE(Run(" W A4 00 20  R A5 99  ; "));
    EXPECT_EQ(image[0x10], 0x55);
    EXPECT_EQ(image[0x11], 0x66);
    EXPECT_EQ(image[2 * 256], 0x20);
    EXPECT_EQ(ChangedBytes(), 3);
}

}  // namespace

namespace {

class BenchPass : public benchtest::BenchTest {};

// A burst of long writes: passes end inside transfers again and again, and
// still each transfer is one whole line, logged once.
TEST_F(BenchPass, BurstOfLongWritesGivesOneWholeLineEach) {
    ASSERT_EQ(adapter().ResetAdapter(0, 0xFD), hardware::kProbeOk);
    constexpr int kWrites = 400;
    simulator::BusTransfer write{benchtest::Start(), benchtest::Byte(0x60)};
    for (int i = 0; i < 256; ++i) write.push_back(benchtest::Byte(static_cast<std::uint8_t>(i)));
    write.push_back(benchtest::Stop());
    for (int i = 0; i < kWrites; ++i) bench_.QueueTransfer(write);

    std::vector<std::string> lines;
    CapturePassStats stats;
    for (int pass = 0; pass < 1000 && bench_.TransfersPlayed() < kWrites; ++pass) {
        adapter().ResetAdapter(0, adapter().Latch());
        adapter().InitController();
        stats = CapturePass(adapter(), kPollReads, 0, 0, [&](std::string_view l) { lines.emplace_back(l); });
        EXPECT_EQ(stats.transfersCut, 0);
    }
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kWrites));
    std::vector<CaptureRecord> records;
    for (const benchtest::Record& r : benchtest::ExpectedRecords(write)) records.push_back({r.type, r.data});
    const std::string whole = BuildLogLine(records);
    for (const std::string& line : lines) ASSERT_EQ(line, whole);
}

}  // namespace
