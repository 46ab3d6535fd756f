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
//
// A wait polls, then asks Passed(). The process can lose the processor
// between the two (a loaded machine, a slow USB round trip): the clock then
// reads past the end although the chip finished long before, and the poll
// that said "busy" was taken early in the wait. So the first Passed() that
// finds the end gone still answers false, and the wait polls once more; only
// the call after that gives up. A chip that is really stuck costs one poll
// more than the time allowed.
class Deadline {
public:
    Deadline(BusAdapter& bus, int ms) : bus_(bus) {
        const std::int64_t now = bus.NowUs();
        end_ = now == BusAdapter::kNoTime ? now : now + static_cast<std::int64_t>(ms) * 1000;
    }
    bool Passed() {
        if (late_) return true;
        const std::int64_t now = bus_.NowUs();
        if (now == BusAdapter::kNoTime || end_ == BusAdapter::kNoTime) return true;
        late_ = now >= end_;
        return false;
    }

private:
    BusAdapter& bus_;
    std::int64_t end_ = 0;
    bool late_ = false;  // the end was seen: one last poll, then over
};

}  // namespace hardware
