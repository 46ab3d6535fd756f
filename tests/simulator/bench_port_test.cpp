// The bench at the port: where the adapter answers, the ECR gate on EPP
// cycles, the PCF8584 register select, the serial socket wiring, and the
// promise that idle status reads leave the counter alone.
#include <gtest/gtest.h>

#include "hardware/port_adapter.h"
#include "platform/counter.h"
#include "simulator/simulated_bench.h"

namespace simulator {
namespace {

constexpr std::uint16_t kBase = 0x378;
constexpr std::uint16_t kS1 = kBase + 3;
constexpr std::uint16_t kS0 = kBase + 4;
constexpr std::uint16_t kEcr = kBase + 0x402;

class BenchPortTest : public ::testing::Test {
protected:
    void Epp() { bench_.Out(kEcr, 0x80); }

    platform::VirtualCounter counter_;
    SimulatedBench bench_{counter_};
};

TEST_F(BenchPortTest, OnlyTheAdapterPortAnswers) {
    Epp();
    bench_.Out(kS1, 0xC1);
    EXPECT_EQ(bench_.In(kS1), 0x81);
    for (std::uint16_t port : {0x278, 0x279, 0x27A, 0x27B, 0x27C, 0x678, 0x3F0, 0x3F1}) {
        EXPECT_EQ(bench_.In(port), 0xFF) << std::hex << port;
    }
    bench_.SetPort(SimulatedBench::Port::None);
    for (std::uint16_t port : {0x378, 0x379, 0x37A, 0x37B, 0x37C, 0x77A}) {
        EXPECT_EQ(bench_.In(port), 0xFF) << std::hex << port;
    }
    bench_.Out(kBase, 0x12);
    bench_.Out(kBase + 2, 0x00);
    bench_.Out(kBase + 2, 0x04);
    EXPECT_EQ(bench_.LatchLoads(), 0u);
    bench_.SetPort(SimulatedBench::Port::Lpt2);
    EXPECT_EQ(bench_.In(0x278 + 3), 0x81) << "the adapter keeps its state when moved";
}

TEST_F(BenchPortTest, EppCyclesReachTheControllerOnlyInEppMode) {
    for (std::uint8_t mode : {0x00, 0x34}) {
        bench_.Out(kEcr, mode);
        EXPECT_EQ(bench_.In(kS1), 0xFF);
        EXPECT_EQ(bench_.In(kS0), 0xFF);
        bench_.Out(kS1, 0xC1);  // dropped
    }
    Epp();
    EXPECT_EQ(bench_.In(kS1), 0x80) << "still the reset state";
}

TEST_F(BenchPortTest, ControllerRegisterSelect) {
    Epp();
    bench_.Out(kS1, 0x80);
    EXPECT_EQ(bench_.In(kS1), 0x80) << "with ESO=0 S1 reads back the control bits";
    bench_.Out(kS0, 0x55);
    EXPECT_EQ(bench_.In(kS0), 0x55);
    bench_.Out(kS1, 0xA0);
    EXPECT_EQ(bench_.In(kS1), 0xA0);
    bench_.Out(kS0, 0xFC);
    EXPECT_EQ(bench_.In(kS0), 0x1C) << "S2 keeps five bits";
    bench_.Out(kS1, 0x80);
    EXPECT_EQ(bench_.In(kS0), 0x55) << "S0' kept its value while S2 was written";
    bench_.Out(kS1, 0xC1);
    EXPECT_EQ(bench_.In(kS1), 0x81);
    bench_.Out(kS0, 0x3C);
    EXPECT_EQ(bench_.In(kS0), 0x3C);
    EXPECT_FALSE(bench_.MonitorSetupInForce());

    bench_.SetControllerPresent(false);
    EXPECT_EQ(bench_.In(kS1), 0xFF);
    bench_.SetControllerPresent(true);
    EXPECT_EQ(bench_.In(kS1), 0x80) << "a controller put back starts from reset";
}

class FakeChip final : public SerialChip {
public:
    void OnLatch(std::uint8_t latch, std::int64_t nowUs) override {
        latches.push_back(latch);
        times.push_back(nowUs);
    }
    bool DataOut(std::int64_t) const override { return out; }
    std::string Name() const override { return "FAKE"; }
    std::vector<std::uint8_t>& Memory() override { return memory; }
    void SetStoreFault(bool fault) override { storeFault = fault; }
    std::vector<DacChannel> Channels() const override { return channels; }

    std::vector<std::uint8_t> latches;
    std::vector<std::int64_t> times;
    bool out = false;
    bool storeFault = false;
    std::vector<std::uint8_t> memory;
    std::vector<DacChannel> channels;
};

TEST_F(BenchPortTest, SocketChipSeesEachLatchLoadAndDrivesStatusBit3) {
    EXPECT_EQ(bench_.In(kBase + 1) & 0x08, 0x08) << "an empty socket's data line floats high";
    EXPECT_EQ(bench_.DacChannels().size(), 12u);

    auto owned = std::make_unique<FakeChip>();
    FakeChip* chip = owned.get();
    chip->channels.resize(12);
    chip->channels[3] = {0x80, 2};
    bench_.SetChipNoStore(true);
    bench_.InsertSocketChip(std::move(owned));
    EXPECT_TRUE(chip->storeFault);
    bench_.SetChipNoStore(false);
    EXPECT_FALSE(chip->storeFault);
    EXPECT_EQ(bench_.DacChannels()[3].value, 0x80);

    EXPECT_EQ(bench_.In(kBase + 1) & 0x08, 0x00);
    EXPECT_EQ(bench_.StatusRegister() & 0x08, 0x00);
    chip->out = true;
    EXPECT_EQ(bench_.In(kBase + 1) & 0x08, 0x08);

    hardware::PortAdapter adapter(bench_, counter_);
    adapter.SetBase(kBase);
    adapter.WriteLatch(0x10);
    counter_.SleepMs(2);
    adapter.WriteLatch(0x90);
    EXPECT_EQ(chip->latches, (std::vector<std::uint8_t>{0x10, 0x90}));
    ASSERT_EQ(chip->times.size(), 2u);
    EXPECT_GE(chip->times[1] - chip->times[0], 2000) << "bench time in microseconds";

    // The chip list decides again (no model for this entry here or there: the socket empties).
    bench_.SetChipListChoice("");
    EXPECT_EQ(bench_.SocketChip(), nullptr);
}

TEST_F(BenchPortTest, IdleStatusReadsCostTimeButNoCounterQueries) {
    Epp();
    // The monitor's set-up, no traffic.
    bench_.Out(kS1, 0x80);
    bench_.Out(kS0, 0x00);
    bench_.Out(kS1, 0xC1);
    ASSERT_TRUE(bench_.MonitorSetupInForce());
    std::int64_t before = counter_.queries();
    const std::int64_t start = counter_.Peek();
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(bench_.In(kS1), 0x81);
    EXPECT_EQ(counter_.queries(), before);
    (void)bench_.In(kBase + 1);
    EXPECT_EQ(counter_.Peek() - start, 100001) << "1 us per access, like a real port";

    // With the demo waiting for its time, the bench looks at the clock now
    // and then, never on every read.
    bench_.SetTraffic(SimulatedBench::Traffic::Demo);
    bench_.Out(kS1, 0x80);
    bench_.Out(kS1, 0xC1);
    bool begun = false;  // the demo's first transfer, read through at its bus pace
    for (int i = 0; i < 5000; ++i) {
        const std::uint8_t status = bench_.In(kS1);
        if (status == 0x84) {
            begun = true;
        } else if (begun && (status & 0x01)) {
            break;
        } else if (!(status & 0x80)) {
            (void)bench_.In(kS0);
        }
    }
    ASSERT_TRUE(begun);
    before = counter_.queries();
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(bench_.In(kS1), 0x81);
    EXPECT_GT(counter_.queries(), before);
    EXPECT_LE(counter_.queries() - before, 100000 / 256 + 1);
}

// A counter the test can set back, as a clock that jumps does; each query
// moves it on by one count (1 us).
class SettableCounter final : public platform::Counter {
public:
    bool Frequency(std::int64_t& countsPerSecond) override {
        countsPerSecond = 1'000'000;
        return true;
    }
    bool Now(std::int64_t& count) override {
        count = ++now;
        return true;
    }
    void SleepMs(int ms) override { now += ms * 1000; }
    void Advance(std::int64_t counts) override { now += counts; }
    std::int64_t now = 0;
};

TEST(BenchClock, BenchTimeNeverRunsBackwards) {
    // A write cycle begun late ends after its own length even when the
    // counter then reads from zero again.
    SettableCounter clock;
    SimulatedBench bench(clock);
    hardware::PortAdapter adapter(bench, clock);
    adapter.SetBase(kBase);
    clock.now = 10'000'000;
    ASSERT_EQ(adapter.ResetAdapter(0, 0xFD), hardware::kProbeOk);
    ASSERT_EQ(adapter.I2cWriteByte(0x00, 0xA0, 0x01), hardware::ByteResult::Done);
    clock.now = 0;
    EXPECT_EQ(adapter.I2cWriteByte(0x01, 0xA0, 0x02), hardware::ByteResult::NoAck);
    clock.SleepMs(6);
    EXPECT_EQ(adapter.I2cWriteByte(0x01, 0xA0, 0x02), hardware::ByteResult::Done);
}

}  // namespace
}  // namespace simulator
