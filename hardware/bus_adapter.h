// What every bus interface shares: the adapter's own time. Transfers wait on
// it (acknowledge polling, ready polling, a write cycle's sleep), so the
// engine never reaches for a clock of its own, and two adapters in one
// process keep two clocks.
#pragma once

#include <cstdint>
#include <limits>

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
