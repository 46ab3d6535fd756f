// Two adapters in one process: two benches driven from two threads at once,
// each with its own counter, adapter and session, each writing and reading a
// 24C16 and a 93C46 with its own pattern. Neither may see the other's
// traffic: nothing below the window is shared between sessions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <thread>

#include "eeprom/chip_progress.h"
#include "eeprom/fast_chip_transfers.h"
#include "eeprom/session.h"
#include "platform/counter.h"
#include "simulator/simulated_bench.h"

using namespace eeprom;

namespace {

constexpr const char* kSerialChip = "93C46 (8)";  // 128 bytes

struct Outcome {
    bool i2cWritten = false, i2cRead = false, serialWritten = false, serialRead = false;
    Image i2cBack{kImageSize};     // the 24C16's first page as read back
    Image serialBack{kImageSize};  // the 93C46 as read back
};

// One technician's run on one bench: a page of the 24C16 and the whole 93C46
// written with `seed`'s pattern and read back, `rounds` times over.
class BenchRun {
public:
    explicit BenchRun(int seed) : seed_(seed) {}

    void Run(int rounds) {
        Session& s = session_;
        s.Parallel()->SetBase(hardware::kLpt1);
        s.Parallel()->SetLatch(0xFD);
        s.Parallel()->ConfigurePort();
        s.Parallel()->ResetAdapter(0, s.Parallel()->Latch());
        for (int round = 0; round < rounds; ++round) {
            Progress progress;
            s.image = Pattern(seed_ + round);
            outcome.i2cWritten = WriteI2cPagesFast(*s.Parallel(), 0, 0xA0, 16, s.image, progress);
            s.image.fill(0);
            outcome.i2cRead = ReadI2cBlockFast(*s.Parallel(), 0, 0xA0, s.image, s.marks, progress);
            outcome.i2cBack = s.image;

            ApplyChipChoice(s.chip, kSerialChip);
            bench_.SetChipListChoice(kSerialChip);
            s.image = Pattern(seed_ + round + 100);
            outcome.serialWritten = WriteChipFast(*s.Parallel(), s.chip, s.image, s.marks, progress);
            s.image.fill(0);
            outcome.serialRead = ReadChipFast(*s.Parallel(), s.chip, s.image, s.marks, progress);
            outcome.serialBack = s.image;
        }
    }

    static Image Pattern(int seed) {
        Image pattern{kImageSize};
        for (std::size_t i = 0; i < pattern.size(); ++i)
            pattern[i] = static_cast<std::uint8_t>(i * 13 + seed * 29);
        return pattern;
    }
    simulator::SimulatedBench& bench() { return bench_; }

    Outcome outcome;

private:
    int seed_;
    platform::VirtualCounter clock_;
    simulator::SimulatedBench bench_{clock_};
    Session session_{bench_, clock_};
};

TEST(TwoBenches, TwoSessionsInTwoThreadsNeverMeet) {
    constexpr int kRounds = 3;
    constexpr int kLast = kRounds - 1;
    std::array<BenchRun, 2> runs{BenchRun(1), BenchRun(2)};
    std::thread second([&] { runs[1].Run(kRounds); });
    runs[0].Run(kRounds);
    second.join();

    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("bench " + std::to_string(k + 1));
        BenchRun& run = runs[static_cast<std::size_t>(k)];
        const int seed = k + 1;
        const Image i2c = BenchRun::Pattern(seed + kLast);
        const Image serial = BenchRun::Pattern(seed + kLast + 100);
        EXPECT_TRUE(run.outcome.i2cWritten && run.outcome.i2cRead);
        EXPECT_TRUE(run.outcome.serialWritten && run.outcome.serialRead);
        // What each session read back, and what each bench's chips hold, is
        // its own pattern and nothing of the other's.
        EXPECT_TRUE(std::equal(i2c.begin(), i2c.begin() + kPageSize, run.outcome.i2cBack.begin()));
        EXPECT_TRUE(std::equal(serial.begin(), serial.begin() + 128, run.outcome.serialBack.begin()));
        const std::vector<std::uint8_t>& eeprom = run.bench().Eeprom();
        EXPECT_TRUE(std::equal(i2c.begin(), i2c.begin() + kPageSize, eeprom.begin()));
        EXPECT_TRUE(std::all_of(eeprom.begin() + kPageSize, eeprom.end(), [](std::uint8_t b) {
            return b == 0xFF;
        })) << "only page 0 was written";
        ASSERT_NE(run.bench().SocketChip(), nullptr);
        const std::vector<std::uint8_t>& socket = run.bench().SocketChip()->Memory();
        ASSERT_EQ(socket.size(), 128u);
        EXPECT_TRUE(std::equal(serial.begin(), serial.begin() + 128, socket.begin()));
    }
}

}  // namespace
