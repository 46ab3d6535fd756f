// How long a memory's self-timed write cycle takes on the bench. Datasheets
// give a maximum, and real parts of one type spread below it, so every
// virtual chip draws its own cycle time once, from a seeded range, when it
// goes into the bench; the "Slow parts" fault puts every chip at the slowest
// figure its family is sold with. A driver that only works with a quick chip
// shows that here, as it would on the bench table.
#pragma once

#include <cstdint>

#include "hardware/chip_parts.h"

namespace simulator {

struct WriteCycleRange {
    std::int64_t fromUs = 0;     // quickest part drawn
    std::int64_t toUs = 0;       // slowest part drawn
    std::int64_t slowestUs = 0;  // "Slow parts"
};

// The slowest figure of each family is the chip table's write-cycle maximum.
// 24C01..24C16: tWR is 5 ms at most on current parts; some older and
// low-voltage parts take 10 ms.
inline constexpr WriteCycleRange kI2cEepromCycle{1500, 5000,
                                                 hardware::SlowestWriteCycleUs(hardware::ChipFamily::I2c)};
// 93C06..93C86: tWP (tE/W) up to 10 ms, a few ms on most parts.
inline constexpr WriteCycleRange kMicrowireCycle{
    1000, hardware::SlowestWriteCycleUs(hardware::ChipFamily::Microwire),
    hardware::SlowestWriteCycleUs(hardware::ChipFamily::Microwire)};
// AT25010..AT25160: tWC 5 ms at most.
inline constexpr WriteCycleRange kSpiCycle{1500, hardware::SlowestWriteCycleUs(hardware::ChipFamily::Spi),
                                           hardware::SlowestWriteCycleUs(hardware::ChipFamily::Spi)};

// A small deterministic generator (splitmix64): the same seed gives the same
// chips on every machine and library.
class CycleDraw {
public:
    explicit CycleDraw(std::uint64_t seed = 1) : state_(seed) {}
    void Reseed(std::uint64_t seed) { state_ = seed; }
    std::int64_t Draw(const WriteCycleRange& range) {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        const auto span = static_cast<std::uint64_t>(range.toUs - range.fromUs + 1);
        return range.fromUs + static_cast<std::int64_t>(z % span);
    }

private:
    std::uint64_t state_;
};

}  // namespace simulator
