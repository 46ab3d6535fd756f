// The second bus master as the bus monitor sees it: records and their types,
// transfers that wait for the monitor's set-up, the bus kept busy for our own
// transfers meanwhile, real captures played whole, the replay on a monitor
// restart, and the demo traffic acting on the bench's slaves.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench_support.h"

namespace benchtest {
namespace {

using simulator::BusTransfer;
using simulator::SimulatedBench;

class BenchMonitorTest : public BenchTest {
protected:
    BenchMonitorTest() { Probe(); }
    std::vector<Capture> Pass(int reads = 100000) { return CapturePass(adapter(), reads); }
    // Reads the status until a transfer has begun and its first byte is on
    // the controller (a byte takes its 90 us on the bus).
    std::uint8_t FirstByteStatus() {
        while (adapter().ReadStatus() != 0x84) {
        }
        std::uint8_t status = 0x80;
        for (int i = 0; i < 1000 && (status & 0x80); ++i) status = adapter().ReadStatus();
        return status;
    }
};

const BusTransfer kWrite = {Start(), Byte(0xA0), Byte(0x10), Byte(0x55), Stop()};

TEST_F(BenchMonitorTest, QueuedTransfersGiveTheRecordsTheMonitorExpects) {
    bench_.QueueTransfer(kWrite);
    bench_.QueueTransfer(
        {Start(), Byte(0xA2), Byte(0x10), Restart(), Byte(0xA3), Byte(0x11), Byte(0x22, false), Stop()});
    bench_.QueueTransfer({Start(), Byte(0xA4, false), Stop()});
    bench_.QueueTransfer({Start(), Stop()});
    const std::vector<Capture> transfers = Pass();
    ASSERT_EQ(transfers.size(), 4u);
    EXPECT_EQ(transfers[0], (Capture{{4, 0xA0}, {0, 0x10}, {0, 0x55}}));
    EXPECT_EQ(transfers[1], (Capture{{4, 0xA2}, {0, 0x10}, {4, 0xA3}, {0, 0x11}, {8, 0x22}}));
    EXPECT_EQ(transfers[2], (Capture{{4, 0xA4}})) << "an unanswered address is still an address record";
    EXPECT_TRUE(transfers[3].empty());
    EXPECT_EQ(bench_.TransfersPlayed(), 4u);
    EXPECT_TRUE(Pass().empty());
}

TEST_F(BenchMonitorTest, TransfersWaitForTheMonitorSetUp) {
    bench_.QueueTransfer(kWrite);
    // The probe's set-up (own address 0x55) is not the monitor's.
    EXPECT_TRUE(CapturePass(adapter(), 1000, false).empty());
    EXPECT_FALSE(bench_.MonitorSetupInForce());
    adapter().InitController();
    EXPECT_TRUE(bench_.MonitorSetupInForce());
    EXPECT_EQ(adapter().I2cWriteByte(0x05, 0x40, 0x01), hardware::ByteResult::BusBusy)
        << "the transfer began";
    EXPECT_EQ(Pass().size(), 1u);

    // A transfer of our own leaves the set-up too.
    adapter().InitController();
    ASSERT_EQ(adapter().I2cWriteByte(0x05, 0x40, 0x01), hardware::ByteResult::Done);
    EXPECT_FALSE(bench_.MonitorSetupInForce());
    bench_.QueueTransfer(kWrite);
    EXPECT_TRUE(CapturePass(adapter(), 1000, false).empty());
    EXPECT_EQ(bench_.TransfersPlayed(), 1u);
    EXPECT_EQ(Pass().size(), 1u);
}

TEST_F(BenchMonitorTest, BusIsBusyForOurTransfersWhileAnotherMasterTalks) {
    bench_.QueueTransfer(kWrite);
    adapter().InitController();
    ASSERT_EQ(FirstByteStatus() & 0x81, 0x00) << "first byte pending, bus busy";
    EXPECT_EQ(io().In(S0()), 0xA0);
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0x40, 0x01), hardware::ByteResult::BusBusy);
    EXPECT_EQ(bench_.Register(0x40, 0x00), 0x00);
    // Nothing of the transfer was lost meanwhile.
    Capture rest;
    for (int i = 0; i < 1000; ++i) {
        const std::uint8_t t = adapter().ReadStatus();
        if (!(t & 0x80)) rest.push_back({t, io().In(S0())});
        if (t & 0x01) break;
    }
    EXPECT_EQ(rest, (Capture{{0, 0x10}, {0, 0x55}}));
    EXPECT_EQ(adapter().ReadStatus(), 0x81);
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0x40, 0x01), hardware::ByteResult::Done);
}

TEST_F(BenchMonitorTest, TransferCutShortIsPlayedAgainWhole) {
    bench_.QueueTransfer(kWrite);
    adapter().InitController();
    ASSERT_EQ(FirstByteStatus(), 0x04);
    EXPECT_EQ(io().In(S0()), 0xA0);
    // The next pass sets the controller up again half way through.
    const std::vector<Capture> transfers = Pass();
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0], (Capture{{4, 0xA0}, {0, 0x10}, {0, 0x55}}));
    EXPECT_EQ(bench_.TransfersPlayed(), 1u);
}

TEST_F(BenchMonitorTest, HeldBusBlocksTheOtherMasterToo) {
    bench_.QueueTransfer(kWrite);
    bench_.SetBusHeldBusy(true);
    EXPECT_TRUE(Pass(1000).empty());
    bench_.SetBusHeldBusy(false);
    EXPECT_EQ(Pass(1000).size(), 1u);
}

// --- Real captures ---------------------------------------------------------

// The real captures ship with the repository (tests/data/captures).
std::filesystem::path CaptureDir() { return MERLIX_TEST_DATA_DIR "/captures"; }

std::vector<std::filesystem::path> CaptureFiles() {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(CaptureDir())) return files;
    for (const auto& entry : std::filesystem::directory_iterator(CaptureDir())) {
        if (entry.path().string().ends_with(".i2c.txt")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

int PlainStarts(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    int starts = 0;
    while (std::getline(in, line)) starts += line.ends_with(": Start") || line == "Start";
    return starts;
}

TEST_F(BenchMonitorTest, EveryRealCapturePlaysWholeOncePerMonitorStart) {
    const auto files = CaptureFiles();
    ASSERT_GE(files.size(), 8u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::vector<BusTransfer> parsed;
        std::string error;
        ASSERT_TRUE(simulator::ParseCaptureFile(file.string(), parsed, error)) << error;
        ASSERT_EQ(static_cast<int>(parsed.size()), PlainStarts(file));

        bench_.SetTraffic(SimulatedBench::Traffic::Capture, file.string());
        ASSERT_FALSE(bench_.TrafficError(error)) << error;
        bench_.RestartTraffic();
        const std::uint64_t before = bench_.TransfersPlayed();
        std::vector<Capture> seen;
        for (int pass = 0; pass < 5; ++pass) {
            for (Capture& c : Pass()) seen.push_back(std::move(c));
        }
        ASSERT_EQ(seen.size(), parsed.size());
        EXPECT_EQ(bench_.TransfersPlayed() - before, parsed.size());
        for (std::size_t i = 0; i < parsed.size(); ++i) EXPECT_EQ(seen[i], ExpectedRecords(parsed[i])) << i;
    }
}

TEST_F(BenchMonitorTest, CaptureReplaysAfterAMonitorStopAndStart) {
    bench_.SetTraffic(SimulatedBench::Traffic::Capture, (CaptureDir() / "x24c02_dual.i2c.txt").string());
    const std::size_t whole = Pass().size();
    ASSERT_EQ(whole, 10u);
    // Passes that follow each other go on where the capture was: it is over.
    counter_.SleepMs(200);  // a slow window between two passes
    EXPECT_TRUE(Pass().empty());
    // Send console transfers between passes configure the port and reset
    // the controller every time; that is no monitor start.
    for (int i = 0; i < 3; ++i) {
        adapter().ConfigurePort();
        Probe();
        EXPECT_EQ(adapter().I2cWriteByte(0x01, 0x40, 0x10), hardware::ByteResult::Done);
        EXPECT_TRUE(Pass().empty());
    }
    // The monitor stops (port configured, controller probed) and a person
    // starts it again.
    adapter().ConfigurePort();
    Probe();
    counter_.SleepMs(60);
    EXPECT_EQ(Pass().size(), whole);
    // Or the program says so.
    bench_.RestartTraffic();
    EXPECT_EQ(Pass().size(), whole);
    EXPECT_EQ(bench_.TransfersPlayed(), 3 * whole);
}

TEST_F(BenchMonitorTest, UnreadableCaptureIsReported) {
    bench_.SetTraffic(SimulatedBench::Traffic::Capture, "/nonexistent/bus.i2c.txt");
    std::string error;
    ASSERT_TRUE(bench_.TrafficError(error));
    EXPECT_NE(error.find("/nonexistent/bus.i2c.txt"), std::string::npos);
    EXPECT_TRUE(Pass(1000).empty());
    bench_.SetTraffic(SimulatedBench::Traffic::None);
    EXPECT_FALSE(bench_.TrafficError(error));
}

// --- Demo ------------------------------------------------------------------

std::vector<Capture> DemoSession(hardware::PortAdapter& adapter, platform::VirtualCounter& counter,
                                 SimulatedBench& bench, int passes) {
    bench.SetTraffic(SimulatedBench::Traffic::Demo);
    std::vector<Capture> all;
    for (int i = 0; i < passes; ++i) {
        for (Capture& c : CapturePass(adapter, 2000)) all.push_back(std::move(c));
        counter.SleepMs(100);
    }
    return all;
}

TEST_F(BenchMonitorTest, DemoTalksEveryFewHundredMillisecondsAndUsesTheRealSlaves) {
    const std::vector<Capture> transfers = DemoSession(adapter(), counter_, bench_, 40);
    // About 4 s of counter time at one transfer each 250 ms.
    EXPECT_GE(transfers.size(), 12u);
    EXPECT_LE(transfers.size(), 20u);
    EXPECT_EQ(bench_.TransfersPlayed(), transfers.size());
    for (const Capture& c : transfers) {
        ASSERT_FALSE(c.empty());
        EXPECT_EQ(c.front().type, 4);
    }
    // Replayed in order, the writes seen on the bus explain every byte the
    // processor read back and leave the EEPROM as the bench holds it.
    std::vector<std::uint8_t> shadow(2048, 0xFF);
    int reads = 0;
    for (const Capture& c : transfers) {
        if ((c[0].data & 0xF1) != 0xA0 || c.size() < 2 || c[1].type != 0) continue;
        const int block = (c[0].data >> 1) & 7;
        if (c.size() > 2 && c[2].type == 4) {
            int at = block * 256 + c[1].data;
            for (std::size_t k = 3; k < c.size(); ++k) EXPECT_EQ(c[k].data, shadow[at++ % 2048]);
            EXPECT_EQ(c.back().type, 8) << "the last byte read is not acknowledged";
            ++reads;
        } else {
            const int page = block * 256 + (c[1].data & 0xF0);
            for (std::size_t k = 2; k < c.size(); ++k) shadow[page + ((c[1].data + k - 2) & 15)] = c[k].data;
        }
    }
    EXPECT_GE(reads, 4);
    EXPECT_EQ(shadow, bench_.Eeprom());
    EXPECT_NE(bench_.Eeprom()[0x7F0], 0xFF);
    EXPECT_EQ(bench_.RegisterWrites(), 0u) << "only our own controller's writes count";
    EXPECT_NE(bench_.Register(0x42, 0x00), 0x00);
}

TEST_F(BenchMonitorTest, DemoIsDeterministic) {
    const std::vector<Capture> first = DemoSession(adapter(), counter_, bench_, 20);
    platform::VirtualCounter counter;
    SimulatedBench bench(counter);
    hardware::PortAdapter other(bench, counter);
    other.SetBase(hardware::kLpt1);
    ASSERT_EQ(other.ResetAdapter(0, 0xFD), hardware::kProbeOk);
    const std::vector<Capture> second = DemoSession(other, counter, bench, 20);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
}

}  // namespace
}  // namespace benchtest
