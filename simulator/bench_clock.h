// Bench time in microseconds, read from the installed counter. It never runs
// backwards: when a test swaps in a fresh counter that starts from zero, the
// bench goes on from where it was, so a write cycle that began under the old
// counter still ends after its own length.
#pragma once

#include <cstdint>

#include "platform/counter.h"

namespace simulator {

class BenchClock {
public:
    std::int64_t NowUs() {
        platform::Counter& counter = platform::Clock();
        std::int64_t frequency = 0;
        std::int64_t count = 0;
        // Without a usable frequency the counts are taken as microseconds, so
        // that time still moves and timed chip cycles still end.
        if (!counter.Frequency(frequency) || frequency <= 0) frequency = 1'000'000;
        if (!counter.Now(count)) return last_;
        const std::int64_t raw = count / frequency * 1'000'000 + count % frequency * 1'000'000 / frequency;
        if (raw + offset_ < last_) offset_ = last_ - raw;
        last_ = raw + offset_;
        return last_;
    }
    std::int64_t LastUs() const { return last_; }

private:
    std::int64_t last_ = 0;
    std::int64_t offset_ = 0;
};

}  // namespace simulator
