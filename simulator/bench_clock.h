// Bench time in microseconds, read from the bench's own counter. It never
// runs backwards: a counter whose reading goes down (or fails) moves nothing
// back, so a write cycle that has begun still ends after its own length.
//
// Every port access costs at least 1 us of bench time, as on a real port,
// whatever the counter says: on the steady counter a bench access takes a few
// nanoseconds, and a driver that polls a status a bounded number of times
// (1000 polls: about 1 ms on an adapter) would otherwise give up long before
// a 100 us bus byte ends. Between two readings bench time therefore moves by
// the counter's step or by the accesses charged, whichever is more.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/counter.h"

namespace simulator {

class BenchClock {
public:
    explicit BenchClock(platform::Counter& counter) : counter_(counter) {}

    platform::Counter& counter() const { return counter_; }

    std::int64_t NowUs() {
        platform::Counter& counter = counter_;
        std::int64_t frequency = 0;
        std::int64_t count = 0;
        // Without a usable frequency the counts are taken as microseconds, so
        // that time still moves and timed chip cycles still end.
        if (!counter.Frequency(frequency) || frequency <= 0) frequency = 1'000'000;
        // The bench looking at the time is not the program spending it: a
        // virtual counter takes no step for it (the query still counts, so
        // tests see how often the bench looks).
        const bool read = counter.Observe(count);
        if (!read) {
            last_ += charged_;
            charged_ = 0;
            return last_;
        }
        const std::int64_t raw = count / frequency * 1'000'000 + count % frequency * 1'000'000 / frequency;
        // A reading lower than the last moves nothing back. The first
        // reading takes the counter's time as it stands.
        const std::int64_t step = !haveRaw_ ? raw - last_ : raw >= lastRaw_ ? raw - lastRaw_ : 0;
        haveRaw_ = true;
        lastRaw_ = raw;
        last_ += std::max(step, charged_);
        charged_ = 0;
        return last_;
    }
    std::int64_t LastUs() const { return last_ + charged_; }
    // Port accesses made since the last reading, 1 us each.
    void Charge(std::int64_t accesses) { charged_ += accesses; }

private:
    platform::Counter& counter_;
    std::int64_t last_ = 0;
    std::int64_t lastRaw_ = 0;
    std::int64_t charged_ = 0;
    bool haveRaw_ = false;
};

}  // namespace simulator
