// Whole-chip serial transfers: how many port accesses a 93C86 read takes and
// how long it runs on bench time, and how much of a chip write is the
// program's own work rather than the chips' 5 ms waits (the budget is 5% on
// top of the waits).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "benchmarks/counting_port_io.h"
#include "eeprom/chip_table.h"
#include "eeprom/classic_chip_transfers.h"
#include "hardware/port_adapter.h"
#include "platform/counter.h"
#include "simulator/simulated_bench.h"

using namespace eeprom;

namespace {

using benchsupport::CountingPortIo;

// The real clock with the sleeps taken off: a sleep only moves the count on,
// so the bench's chips still see their write cycles end, while the wall time
// of a transfer is the program's own work (and the bench's).
class NoSleepCounter final : public platform::Counter {
public:
    bool Frequency(std::int64_t& countsPerSecond) override { return steady_.Frequency(countsPerSecond); }
    bool Now(std::int64_t& count) override {
        const bool ok = steady_.Now(count);
        count += sleptMs * 1'000'000;
        return ok;
    }
    void SleepMs(int ms) override { sleptMs += ms; }
    std::int64_t sleptMs = 0;

private:
    platform::SteadyCounter steady_;
};

// The bench on LPT1 with the chip of `entry` in the socket and chosen in
// the chip list, and an adapter on it.
struct SerialRig {
    SerialRig(platform::Counter& counter, const char* entry) : bench(counter), adapter(counting, counter) {
        adapter.SetBase(hardware::kLpt1);
        ApplyChipChoice(chip, entry);
        bench.SetChipListChoice(entry);
    }

    simulator::SimulatedBench bench;
    CountingPortIo counting{bench};
    hardware::PortAdapter adapter;
    ChipParams chip;
};

struct NullProgress final : Progress {};

void BM_Read93C86x8VirtualCounter(benchmark::State& state) {
    platform::VirtualCounter clock;
    SerialRig rig(clock, "93C86 (8)");
    Image image{kImageSize};
    NullProgress progress;
    std::uint64_t accesses = 0;
    std::int64_t benchUs = 0;
    for (auto _ : state) {
        rig.counting.count = 0;
        const std::int64_t start = clock.Peek();
        ReadSerialEeprom(rig.adapter, rig.chip, image, progress);
        accesses = rig.counting.count;
        benchUs = clock.Peek() - start;
        benchmark::DoNotOptimize(image);
    }
    state.counters["port_accesses"] = static_cast<double>(accesses);
    state.counters["accesses_per_byte"] = static_cast<double>(accesses) / 2048.0;
    // The bench asks the virtual counter (1 us a query) at each latch load;
    // on real hardware every port access costs about 1 us, so the same read
    // takes about port_accesses us there.
    state.counters["virtual_ms"] = static_cast<double>(benchUs) / 1000.0;
}
BENCHMARK(BM_Read93C86x8VirtualCounter)->Unit(benchmark::kMillisecond);

// The program's own work per written unit (frames, verify read, chip model
// included), measured on the real clock with the 5 ms sleeps taken off.
void BM_WriteOwnWork(benchmark::State& state, const char* entry) {
    NoSleepCounter counter;
    SerialRig rig(counter, entry);
    const int units = rig.chip.capacity;
    Image image{kImageSize};
    Image marks{kImageSize};
    NullProgress progress;
    double ownNs = 0;
    std::int64_t slept = 0;
    std::uint64_t accesses = 0;
    for (auto _ : state) {
        const std::int64_t sleptBefore = counter.sleptMs;  // never reset: time must not run back
        rig.counting.count = 0;
        const auto start = std::chrono::steady_clock::now();
        WriteSerialEeprom(rig.adapter, rig.chip, image, marks, progress);
        ownNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        slept = counter.sleptMs - sleptBefore;
        accesses = rig.counting.count;
        image[0] ^= 1;  // a different image each round
    }
    state.counters["own_us_per_unit"] = ownNs / 1000.0 / units;
    state.counters["sleep_ms_per_unit"] = static_cast<double>(slept) / units;
    state.counters["accesses_per_unit"] = static_cast<double>(accesses) / units;
    // On a real port each access costs about 1 us (3 us on slow machines).
    state.counters["real_port_overhead_pct"] =
        100.0 * (static_cast<double>(accesses) * 1e-3) / static_cast<double>(slept);
    state.counters["own_overhead_pct"] = 100.0 * ownNs / 1e6 / static_cast<double>(slept);
    state.counters["verify_marks"] =
        static_cast<double>(std::count(marks.begin(), marks.end(), kMarkMismatch));
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
        overNs +=
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() - 5e6;
        ++runs;
    }
    state.counters["oversleep_us"] = overNs / 1000.0 / static_cast<double>(runs);
    state.counters["oversleep_pct"] = 100.0 * overNs / 5e6 / static_cast<double>(runs);
}
BENCHMARK(BM_RealSleep5ms)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
