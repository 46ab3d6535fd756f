// What every bus interface shares: the adapter's own time. Transfers wait on
// it (acknowledge polling, ready polling, a write cycle's sleep), so the
// engine never reaches for a clock of its own, and two adapters in one
// process keep two clocks.
#pragma once

#include <cstdint>
#include <limits>

#include "platform/counter.h"

namespace hardware {

class BusAdapter {
public:
    // What NowUs gives when the adapter's clock cannot be read: every wait
    // measured against it is over.
    static constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();

    virtual ~BusAdapter() = default;
    // Microseconds from an arbitrary start, never decreasing; kNoTime when
    // the clock failed.
    virtual std::int64_t NowUs() = 0;
    // Gives up the processor for `ms` milliseconds (none when ms <= 0).
    virtual void SleepMs(int ms) = 0;
};

// Microseconds on `counter`, for an adapter whose time is a counter it was
// given; BusAdapter::kNoTime when the counter fails.
inline std::int64_t CounterNowUs(platform::Counter& counter) {
    std::int64_t frequency = 0;
    std::int64_t now = 0;
    if (!counter.Frequency(frequency) || frequency <= 0 || !counter.Now(now) || now < 0)
        return BusAdapter::kNoTime;
    const std::int64_t seconds = now / frequency;
    if (seconds > std::numeric_limits<std::int64_t>::max() / 2'000'000) return BusAdapter::kNoTime;
    return seconds * 1'000'000 + now % frequency * 1'000'000 / frequency;
}

// The end of a wait `ms` milliseconds from now on the adapter's clock. It
// reads the clock once when made and once per Passed().
class Deadline {
public:
    Deadline(BusAdapter& bus, int ms) : bus_(bus) {
        const std::int64_t now = bus.NowUs();
        end_ = now == BusAdapter::kNoTime ? now : now + static_cast<std::int64_t>(ms) * 1000;
    }
    bool Passed() {
        const std::int64_t now = bus_.NowUs();
        return now == BusAdapter::kNoTime || end_ == BusAdapter::kNoTime || now >= end_;
    }

private:
    BusAdapter& bus_;
    std::int64_t end_ = 0;
};

}  // namespace hardware
