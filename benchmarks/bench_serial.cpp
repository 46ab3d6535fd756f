// Whole-chip serial transfers: how many port accesses a 93C86 read takes and
// how long it runs on bench time, and how much of a chip write is the
// program's own work rather than the chips' 5 ms waits (the budget is 5% on
// top of the waits).
#include <benchmark/benchmark.h>

#include <chrono>

#include "eeprom/chip_table.h"
#include "eeprom/chip_transfers.h"
#include "tests/support/serial_socket.h"

namespace {

// Counts every access on its way to the backend behind it.
class CountingPortIo final : public platform::PortIo {
public:
    explicit CountingPortIo(platform::PortIo& inner) : inner_(inner) {}
    std::uint8_t In(std::uint16_t port) override {
        ++count;
        return inner_.In(port);
    }
    void Out(std::uint16_t port, std::uint8_t value) override {
        ++count;
        inner_.Out(port, value);
    }
    std::uint64_t count = 0;

private:
    platform::PortIo& inner_;
};

// The real clock for the program, with the sleeps taken off and added up; the
// chips see the sleeps on their own clock, so their write cycles still end.
class NoSleepCounter final : public platform::Counter {
public:
    explicit NoSleepCounter(platform::VirtualCounter& chipClock) : chipClock_(chipClock) {}
    bool Frequency(std::int64_t& countsPerSecond) override { return steady_.Frequency(countsPerSecond); }
    bool Now(std::int64_t& count) override { return steady_.Now(count); }
    void SleepMs(int ms) override {
        sleptMs += ms;
        chipClock_.SleepMs(ms);
    }
    std::int64_t sleptMs = 0;

private:
    platform::SteadyCounter steady_;
    platform::VirtualCounter& chipClock_;
};

struct NullProgress final : Progress {};

void BM_Read93C86x8VirtualCounter(benchmark::State& state) {
    platform::VirtualCounter clock;
    testsupport::SocketPort socket(clock, hardware::kLpt1);
    CountingPortIo counting(socket);
    testsupport::Installed installed(clock, counting);
    hardware::PortAdapter adapter;
    adapter.SetBase(hardware::kLpt1);
    auto chip = simulator::MakeSerialChip("93C86 (8)");
    socket.Insert(chip.get());
    ApplyChipChoice("93C86 (8)");
    ImageArray image{};
    NullProgress progress;
    std::uint64_t accesses = 0;
    std::int64_t benchUs = 0;
    for (auto _ : state) {
        socket.Loads().clear();
        counting.count = 0;
        const std::int64_t start = clock.Peek();
        ReadSerialEeprom(adapter, image, progress);
        accesses = counting.count;
        benchUs = clock.Peek() - start;
        benchmark::DoNotOptimize(image);
    }
    state.counters["port_accesses"] = static_cast<double>(accesses);
    state.counters["accesses_per_byte"] = static_cast<double>(accesses) / 2048.0;
    state.counters["bench_ms"] = static_cast<double>(benchUs) / 1000.0;
    ResetChipState();
}
BENCHMARK(BM_Read93C86x8VirtualCounter)->Unit(benchmark::kMillisecond);

// The program's own work per written unit (frames, verify read, chip model
// included), measured on the real clock with the 5 ms sleeps taken off.
void BM_WriteOwnWork(benchmark::State& state, const char* entry) {
    platform::VirtualCounter chipClock;
    testsupport::SocketPort socket(chipClock, hardware::kLpt1);
    CountingPortIo counting(socket);
    NoSleepCounter counter(chipClock);
    testsupport::Installed installed(counter, counting);
    hardware::PortAdapter adapter;
    adapter.SetBase(hardware::kLpt1);
    auto chip = simulator::MakeSerialChip(entry);
    socket.Insert(chip.get());
    ApplyChipChoice(entry);
    const int units = g_chipCapacity;
    ImageArray image{};
    ImageArray marks{};
    NullProgress progress;
    double ownNs = 0;
    std::int64_t slept = 0;
    std::uint64_t accesses = 0;
    for (auto _ : state) {
        socket.Loads().clear();
        counter.sleptMs = 0;
        counting.count = 0;
        const auto start = std::chrono::steady_clock::now();
        WriteSerialEeprom(adapter, image, marks, progress);
        ownNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        slept = counter.sleptMs;
        accesses = counting.count;
    }
    state.counters["own_us_per_unit"] = ownNs / 1000.0 / units;
    state.counters["sleep_ms_per_unit"] = static_cast<double>(slept) / units;
    state.counters["accesses_per_unit"] = static_cast<double>(accesses) / units;
    // On a real port each access costs about 1 us (3 us on slow machines).
    state.counters["real_port_overhead_pct"] =
        100.0 * (static_cast<double>(accesses) * 1e-3) / static_cast<double>(slept);
    state.counters["own_overhead_pct"] = 100.0 * ownNs / 1e6 / static_cast<double>(slept);
    ResetChipState();
}
BENCHMARK_CAPTURE(BM_WriteOwnWork, 93C86_8, "93C86 (8)")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteOwnWork, 93C86_16, "93C86 (16)")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteOwnWork, AT25C160, "AT25C160")->Unit(benchmark::kMillisecond);

// What one of the frames' 5 ms sleeps really takes on this machine: the
// oversleep counts against the same 5% budget.
void BM_RealSleep5ms(benchmark::State& state) {
    platform::SteadyCounter counter;
    double overNs = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        counter.SleepMs(5);
        overNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() - 5e6;
        ++runs;
    }
    state.counters["oversleep_us"] = overNs / 1000.0 / static_cast<double>(runs);
    state.counters["oversleep_pct"] = 100.0 * overNs / 5e6 / static_cast<double>(runs);
}
BENCHMARK(BM_RealSleep5ms)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
